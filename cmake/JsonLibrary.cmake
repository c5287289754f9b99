# The JSON library the run log is written with, header only (Debian's nlohmann-json3-dev), as
# the target hx7300_json. The cross build takes the same headers from a folder of their own, so
# that no other header of the build system comes with them.
add_library(hx7300_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  find_path(HX7300_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            REQUIRED)
  set(json_include ${PROJECT_BINARY_DIR}/json-include)
  file(MAKE_DIRECTORY ${json_include})
  file(CREATE_LINK ${HX7300_JSON_INCLUDE}/nlohmann ${json_include}/nlohmann SYMBOLIC)
  target_include_directories(hx7300_json SYSTEM INTERFACE ${json_include})
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(hx7300_json INTERFACE nlohmann_json::nlohmann_json)
endif()
