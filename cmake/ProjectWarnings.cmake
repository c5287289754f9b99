# Warnings are errors on the project's own code only; third-party code keeps its own flags.
function(hx7300_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wconversion
                                           -Wno-sign-conversion)
endfunction()
