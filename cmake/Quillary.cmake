# Shared build settings and helpers for every Quillary target.

add_library(quillary_warnings INTERFACE)
target_compile_options(quillary_warnings INTERFACE -Wall -Wextra -Wpedantic)
# g++ 12 at -O3 reports plain std::string inserts ("F" + std::to_string(n),
# s.insert(i, "x")) as overlapping memcpy calls: a known false positive of
# its -Wrestrict, fixed in g++ 13, that would only bury real warnings.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quillary_warnings INTERFACE -Wno-restrict)
endif()
if(QUILLARY_WERROR)
  target_compile_options(quillary_warnings INTERFACE -Werror)
endif()

if(QUILLARY_SANITIZE)
  add_compile_options(-fsanitize=${QUILLARY_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUILLARY_SANITIZE})
endif()

# The modules the program loads at first use (platform/ProgramModule.h) are
# found through the path from the program's folder to theirs. It is the same
# in the build tree as in an installed prefix, so the program needs no
# compiled-in folder, and an install to any prefix keeps working.
file(RELATIVE_PATH QUILLARY_MODULE_DIR_FROM_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/quillary)
set(QUILLARY_PROGRAM_DIR ${PROJECT_BINARY_DIR}/app)
cmake_path(ABSOLUTE_PATH QUILLARY_MODULE_DIR_FROM_PROGRAM BASE_DIRECTORY ${QUILLARY_PROGRAM_DIR} NORMALIZE
  OUTPUT_VARIABLE QUILLARY_BUILD_MODULE_DIR)

# quillary_program_module(NAME SOURCES... [DEPS targets...])
# A module of the program: its own copies of the few platform pieces it
# uses, everything hidden but its entry point, built where the program finds
# it and installed where the installed program does.
function(quillary_program_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quillary_warnings)
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${QUILLARY_BUILD_MODULE_DIR})
  if(NOT QUILLARY_SANITIZE)
    # Every symbol resolved inside the module, so a missing one fails the
    # build, not the first use.
    target_link_options(${name} PRIVATE -Wl,-z,defs)
  endif()
  install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/quillary)
endfunction()

# quillary_library(NAME SOURCES... [DEPS targets...])
function(quillary_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE quillary_warnings ${ARG_PRIVATE_DEPS})
endfunction()

# quillary_test(NAME SOURCES... DEPS targets... LABELS unit|net|gui|x11
#               [DISPLAY_VARIABLE VAR])
# Every test binary runs with $HOME and the XDG folders pointed at a fresh
# temporary folder (see testsupport/TestMain.cpp), and links the platform
# fakes, which nothing else but the benchmarks may link. An x11 test with a
# DISPLAY_VARIABLE runs on the display named in that environment variable
# (scripts/test starts it) instead of $DISPLAY, under a lock of its own.
function(quillary_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;DISPLAY_VARIABLE" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quillary_platform_fakes quillary_testmain GTest::gtest GTest::gmock
    quillary_build_tree_modules quillary_warnings)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  quillary_add_test(${name} ${name} "${ARG_LABELS}" "${ARG_DISPLAY_VARIABLE}" "")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()

# quillary_add_test(TEST PROGRAM LABELS DISPLAY_VARIABLE ARGS)
# The CTest entry running PROGRAM with ARGS. x11 ones run one at a time:
# they share one display, its keyboard and its grabs. Without a display the
# program reports itself skipped (77), or failed where
# QUILLARY_REQUIRE_DISPLAY promises one (testsupport/NeedsDisplay.h).
function(quillary_add_test test program labels display_variable args)
  if("x11" IN_LIST labels)
    if(display_variable)
      add_test(NAME ${test} COMMAND sh -c "DISPLAY=\"\$${display_variable}\" exec \"$0\" \"$@\" --quillary-needs-display"
        $<TARGET_FILE:${program}> ${args})
      string(TOLOWER ${display_variable} lock)
    else()
      add_test(NAME ${test} COMMAND ${program} ${args} --quillary-needs-display)
      set(lock x11_display)
    endif()
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK ${lock} SKIP_RETURN_CODE 77)
  else()
    add_test(NAME ${test} COMMAND ${program} ${args})
  endif()
  set_tests_properties(${test} PROPERTIES LABELS "${labels}")
endfunction()

# quillary_standalone_test(NAME (SOURCES... DEPS targets... | PROGRAM target)
#                          LABELS ... [ARGS arguments...])
# A library-user test program: its own main (testsupport/StandaloneMain.cpp)
# installs nothing, links no fakes and is not told where the modules are, so
# the libraries under test make their own process-wide defaults and find
# their modules as in a program of this build tree that uses them alone.
# Only the per-user folders are temporary. ARGS are its command line; a
# second run of a program already added names it with PROGRAM.
function(quillary_standalone_test name)
  cmake_parse_arguments(ARG "" "PROGRAM" "SOURCES;DEPS;LABELS;ARGS" ${ARGN})
  if(ARG_PROGRAM)
    set(program ${ARG_PROGRAM})
  else()
    set(program ${name})
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/testsupport/StandaloneMain.cpp
      ${PROJECT_SOURCE_DIR}/testsupport/TempHome.cpp ${PROJECT_SOURCE_DIR}/testsupport/NeedsDisplay.cpp)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest quillary_warnings)
  endif()
  quillary_add_test(${name} ${program} "${ARG_LABELS}" "" "${ARG_ARGS}")
  set_tests_properties(${name} PROPERTIES TIMEOUT 60)
endfunction()

# quillary_module(NAME [DEPS targets...] [TEST_DEPS targets...])
# One library from the folder's *.cpp (picked up by pattern: a new source
# file needs no CMake edit), and one test
# program per label from tests/<label>/*.cpp, for the labels unit, net, gui
# and x11. gui tests run on Qt's offscreen platform; gui and x11 tests get
# QUILLARY_SCREENSHOT_DIR, a folder under the build tree for the pictures
# they take.
function(quillary_module name)
  cmake_parse_arguments(ARG "" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    quillary_library(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
  set(labels unit net gui x11)
  if(NOT QUILLARY_TESTS)
    set(labels "")
  endif()
  foreach(label IN LISTS labels)
    file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/${label}/*.cpp)
    if(NOT test_sources)
      continue()
    endif()
    set(test_name ${name}_${label}_tests)
    string(REGEX REPLACE "^quillary_" "" test_name ${test_name})
    quillary_test(${test_name} SOURCES ${test_sources} DEPS ${name} ${ARG_TEST_DEPS} LABELS ${label})
    target_include_directories(${test_name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
    if(label STREQUAL "gui" OR label STREQUAL "x11")
      target_compile_definitions(${test_name} PRIVATE
        QUILLARY_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots")
    endif()
    if(label STREQUAL "gui")
      set_tests_properties(${test_name} PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen)
    endif()
  endforeach()
endfunction()
