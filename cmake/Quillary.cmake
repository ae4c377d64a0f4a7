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

# quillary_library(NAME SOURCES... [DEPS targets...])
function(quillary_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE quillary_warnings ${ARG_PRIVATE_DEPS})
endfunction()

# quillary_test(NAME SOURCES... DEPS targets... LABELS unit|net|gui|x11)
# Every test binary runs with $HOME and the XDG folders pointed at a fresh
# temporary folder (see testsupport/TestMain.cpp).
function(quillary_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quillary_testmain GTest::gtest GTest::gmock quillary_warnings)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT})
  # X11 tests share one display, its keyboard and its grabs: one at a time.
  if("x11" IN_LIST ARG_LABELS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK x11_display)
  endif()
endfunction()
