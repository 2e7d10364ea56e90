# orvel_library(<name> [SOURCES_DIR dir] [PUBLIC libs...] [PRIVATE libs...])
# One library target per folder: every .cpp of the folder, headers included
# from the repository root ("platform/core/winbase.h", "dom/node.h").
function(orvel_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()

# orvel_tests(<name> LIBS libs... [DISPLAY])
# One test binary per test folder, from every .cpp in it.
function(orvel_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} orvel_testsupport GTest::gtest_main GTest::gmock)
  # The environment travels as a launcher: CMake 3.25's gtest_discover_tests
  # splits an ENVIRONMENT property of several variables into bogus properties.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_COMMAND};-E;env;ORVEL_SOURCE_DIR=${PROJECT_SOURCE_DIR};ORVEL_BINARY_DIR=${PROJECT_BINARY_DIR};SDL_VIDEODRIVER=offscreen")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
endfunction()

# orvel_player_package(files...)
# Adds host files (generator expressions allowed) to the player's
# installation package, which `device install` copies onto a device. The list
# is written once every folder is configured, to player-package.txt.
function(orvel_player_package)
  set_property(GLOBAL APPEND PROPERTY ORVEL_PLAYER_PACKAGE ${ARGN})
endfunction()

function(orvel_write_player_package)
  get_property(files GLOBAL PROPERTY ORVEL_PLAYER_PACKAGE)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/player-package.txt CONTENT "$<JOIN:${files},\n>\n")
endfunction()

# orvel_device_builtin(<clsid> <progid> <class name> <device path> <host file>)
# Lists an in-process server that every new device comes with, registered
# under its CLSID and ProgID; the list is written, once every folder is
# configured, to device-builtins.txt.
function(orvel_device_builtin clsid progid name device_path host_file)
  set_property(GLOBAL APPEND PROPERTY ORVEL_DEVICE_BUILTINS "${clsid}|${progid}|${name}|${device_path}|${host_file}")
endfunction()

function(orvel_write_device_builtins)
  get_property(rows GLOBAL PROPERTY ORVEL_DEVICE_BUILTINS)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/device-builtins.txt CONTENT "$<JOIN:${rows},\n>\n")
endfunction()
