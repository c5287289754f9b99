# The manual pages: written in scdoc (docs/man), built into roff for `man -l` and the tests, and
# installed compressed as Debian keeps them. Only a Linux build makes them; the Windows zip
# carries README.txt instead.
find_program(HX7300_SCDOC scdoc REQUIRED)
find_program(HX7300_GZIP gzip REQUIRED)

set(HX7300_MAN_PAGES hx7300.1 hx7300-emulator.1)
set(man_outputs)
foreach(page IN LISTS HX7300_MAN_PAGES)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
  set(roff ${PROJECT_BINARY_DIR}/man/${page})
  add_custom_command(
    OUTPUT ${roff} ${roff}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND sh -c "\"$0\" < \"$1\" > \"$2\"" ${HX7300_SCDOC} ${source} ${roff}
    # -n keeps the file's name and time out of the archive, so that a rebuild is the same.
    COMMAND sh -c "\"$0\" -9n < \"$1\" > \"$1.gz\"" ${HX7300_GZIP} ${roff}
    DEPENDS ${source}
    VERBATIM)
  list(APPEND man_outputs ${roff} ${roff}.gz)
  install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(hx7300_man_pages ALL DEPENDS ${man_outputs})
