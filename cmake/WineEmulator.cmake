# Cross-built programs run under Wine: CTest starts each through build/<preset>/wine-run, which
# uses a Wine prefix inside the build directory.
find_program(HX7300_WINE wine REQUIRED)
set(HX7300_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)
