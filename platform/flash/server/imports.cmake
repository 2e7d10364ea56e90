# Writes the linker options that keep, in a program hosting the control, every
# device function the control's library takes from it (the library's undefined
# symbols that the device's archives define), and the list of the symbols the
# program exports: every name the library leaves undefined, so that whatever
# the program defines of them (the device's functions, a sanitizer's runtime)
# is found there, and nothing else is exported.
#   cmake -DSERVER=... -DARCHIVES="a;b" -DOUTPUT=... -DEXPORTS=... -P imports.cmake
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
set(options "-Wl,--dynamic-list=${EXPORTS}\n")
set(exports "{\n")
foreach(line ${undefined_lines})
  string(REGEX REPLACE "^\n?([^ ]+) .*" "\\1" name "${line}")
  # A versioned name comes from a system library, never from the program.
  if(name MATCHES "@")
    continue()
  endif()
  string(APPEND exports "  ${name};\n")
  if(name IN_LIST known)
    string(APPEND options "-Wl,--undefined=${name}\n")
  endif()
endforeach()
string(APPEND exports "};\n")

function(write_if_changed path content)
  file(WRITE ${path}.new "${content}")
  file(COPY_FILE ${path}.new ${path} ONLY_IF_DIFFERENT)
  file(REMOVE ${path}.new)
endfunction()
write_if_changed(${EXPORTS} "${exports}")
write_if_changed(${OUTPUT} "${options}")
