# What an admin installs: on Linux a Debian package (cpack -G DEB) with both programs, their
# manual pages, the README and a udev rule that gives the HX7300's nodes to the user at the seat;
# on Windows a zip of the two programs and a README.txt for the Command Prompt.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME hx7300)
set(CPACK_PACKAGE_VENDOR "hx7300 maintainers")
set(CPACK_PACKAGE_CONTACT "hx7300 maintainers <maintainers@users.noreply.c-seed-355c1274.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manage HX7300 conference-room devices over USB")
set(CPACK_PACKAGE_DESCRIPTION
    "hx7300 uploads images with their signature to an HX7300 conference-room
device, starts and follows its network update, sets its clock and time zone,
reboots it, changes its passcode, queries its configuration parse result,
has it upload logs and reads its telephone-line settings, all through the
vendor extension unit of the device's USB camera. hx7300-emulator is a
virtual HX7300 to try, test and script the utility without a device.")

if(WIN32)
  install(TARGETS hx7300 hx7300-emulator RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt
                 ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME hx7300-${PROJECT_VERSION}-win64)
else()
  include(cmake/ManPages.cmake)
  install(TARGETS hx7300 hx7300-emulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Beside the README, so that its links to docs/ hold where it is installed too.
  install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
          FILES_MATCHING PATTERN "*.md" PATTERN "*.json" PATTERN "man" EXCLUDE)
  # A native package's changelog, compressed without a time stamp as Debian keeps it.
  set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(
    OUTPUT ${changelog}
    COMMAND sh -c "\"$0\" -9n < \"$1\" > \"$2\"" ${HX7300_GZIP}
            ${PROJECT_SOURCE_DIR}/packaging/changelog ${changelog}
    DEPENDS packaging/changelog
    VERBATIM)
  add_custom_target(hx7300_changelog ALL DEPENDS ${changelog})
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # udev reads rules from /usr/lib, not from the prefix: the package installs into /usr.
  install(FILES packaging/70-hx7300.rules DESTINATION lib/udev/rules.d)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_STRIP_FILES ON)
endif()
include(CPack)
