# One test program per module:
# vek_add_test(NAME SOURCES... LIBS ... [LABELS ...] [ENVIRONMENT VAR=value...] [SERIAL])
# Tests labelled "gui" need a display (run under xvfb-run); the sanitizer
# build runs every test that is not.
find_package(GTest REQUIRED)
include(GoogleTest)

# SERIAL: the program's tests run with no other test beside them (for
# tests that look at the whole shared screen).
function(vek_add_test name)
  cmake_parse_arguments(T "SERIAL" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set(props TIMEOUT 120)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_SERIAL)
    list(APPEND props RUN_SERIAL TRUE)
  endif()
  if(T_ENVIRONMENT)
    list(APPEND props ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# Every test_*.cpp of the calling tests folder (<folder>/tests/CMakeLists.txt)
# becomes one test program.
function(vek_add_folder_tests prefix)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  if(NOT folder STREQUAL "tests")
    message(FATAL_ERROR "vek_add_folder_tests(${prefix}): call it from ${prefix}/tests/CMakeLists.txt")
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(src ${tests})
    get_filename_component(stem ${src} NAME_WE)
    vek_add_test(${prefix}_${stem} SOURCES ${src} LIBS ${T_LIBS} LABELS ${T_LABELS})
  endforeach()
endfunction()

# A fuzz target: always built as a replay program that runs the seed corpus
# under CTest; with -DVEK_LIBFUZZER=ON (clang) also as a libFuzzer binary.
option(VEK_LIBFUZZER "Build the libFuzzer binaries (clang only)" OFF)
if(VEK_LIBFUZZER)
  # Every library is instrumented, not only the harnesses: libFuzzer is
  # guided by the coverage of the code under test.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
function(vek_add_fuzz name source corpus)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  add_executable(${name} ${source} ${PROJECT_SOURCE_DIR}/cmake/replay_main.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake)
  # vekwire: the input helper's owned descriptor.
  target_link_libraries(${name} PRIVATE ${F_LIBS} vekwire)
  add_test(NAME ${name}_corpus COMMAND ${name} ${corpus})
  if(VEK_LIBFUZZER)
    add_executable(${name}_libfuzzer ${source})
    target_compile_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name}_libfuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
    target_include_directories(${name}_libfuzzer PRIVATE ${PROJECT_SOURCE_DIR}/cmake)
    target_link_libraries(${name}_libfuzzer PRIVATE ${F_LIBS} vekwire)
  endif()
endfunction()
