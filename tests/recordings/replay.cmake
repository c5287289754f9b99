# Plays one recording of runs.txt back: runs the utility (under LAUNCHER, Wine's, for the Windows
# build) in this folder with HX7300_DEVICE=replay:<NAME>.jsonl and what the run that made it
# had (TZ, the passcodes from a file, INPUT on standard input), and compares its exit status,
# and its standard output byte for byte, with that run's. Standard error must stay empty: the
# replay writes there what departs from the recording.
#
#   cmake -DPROGRAM=<hx7300> [-DLAUNCHER=<wine-run>] -DNAME=<name> -DSTATUS=<status>
#         -DPASSCODES=<a,b or -> -DINPUT=<text or -> -DWORK=<folder> -DARGS=<a|b> -P replay.cmake
set(here ${CMAKE_CURRENT_LIST_DIR})
# Wine's drive Z: is the Linux root.
set(drive "")
if(LAUNCHER)
  set(drive "Z:")
endif()

string(REPLACE "|" ";" arguments "${ARGS}")
file(MAKE_DIRECTORY ${WORK})
unset(ENV{HX7300_LOG})
unset(ENV{HX7300_RECORD})
unset(ENV{HX7300_TIMEOUT})
unset(ENV{HX7300_PASSCODE_FILE})
set(ENV{HX7300_DEVICE} "replay:${NAME}.jsonl")
set(ENV{TZ} "America/New_York")
if(NOT PASSCODES STREQUAL "-")
  string(REPLACE "," "\n" lines "${PASSCODES}")
  file(WRITE ${WORK}/${NAME}.passcodes "${lines}\n")
  file(CHMOD ${WORK}/${NAME}.passcodes PERMISSIONS OWNER_READ OWNER_WRITE)
  set(ENV{HX7300_PASSCODE_FILE} "${drive}${WORK}/${NAME}.passcodes")
endif()
set(input /dev/null)
if(NOT INPUT STREQUAL "-")
  set(input ${WORK}/${NAME}.input)
  file(WRITE ${input} "${INPUT}\n")
endif()

execute_process(COMMAND ${LAUNCHER} ${PROGRAM} ${arguments}
                WORKING_DIRECTORY ${here}
                INPUT_FILE ${input}
                OUTPUT_VARIABLE output
                ERROR_VARIABLE errors
                RESULT_VARIABLE status)
file(READ ${here}/${NAME}.stdout expected)
if(NOT status STREQUAL STATUS OR NOT output STREQUAL expected OR NOT errors STREQUAL "")
  message(FATAL_ERROR "replay of ${NAME}.jsonl: status ${status} (recorded ${STATUS})\n"
                      "--- standard output\n${output}\n--- recorded\n${expected}\n"
                      "--- standard error\n${errors}")
endif()
