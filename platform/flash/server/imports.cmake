# Writes the linker options that keep, in a program hosting the control, every
# device function the control's library takes from it: the library's undefined
# symbols that the device's archives define.
#   cmake -DSERVER=... -DARCHIVES="a;b" -DOUTPUT=... -P imports.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND nm -D --undefined-only --format=posix ${SERVER} OUTPUT_VARIABLE undefined RESULT_VARIABLE r1)
execute_process(COMMAND nm --defined-only --extern-only --format=posix ${ARCHIVES} OUTPUT_VARIABLE defined
  RESULT_VARIABLE r2 ERROR_QUIET)
if(NOT r1 EQUAL 0 OR NOT r2 EQUAL 0)
  message(FATAL_ERROR "nm failed on ${SERVER} or the device's archives")
endif()
string(REGEX MATCHALL "(^|\n)[^ \n]+ [TDBRVW]" defined_lines "${defined}")
set(known "")
foreach(line ${defined_lines})
  string(REGEX REPLACE "^\n?([^ ]+) .*" "\\1" name "${line}")
  list(APPEND known "${name}")
endforeach()
string(REGEX MATCHALL "(^|\n)[^ \n]+ U" undefined_lines "${undefined}")
set(options "")
foreach(line ${undefined_lines})
  string(REGEX REPLACE "^\n?([^ ]+) .*" "\\1" name "${line}")
  if(name IN_LIST known)
    string(APPEND options "-Wl,--undefined=${name}\n")
  endif()
endforeach()
file(WRITE ${OUTPUT}.new "${options}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
