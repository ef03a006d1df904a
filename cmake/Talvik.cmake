# Shared build rules for every folder of the tree.

set(TALVIK_WARNINGS -Wall -Wextra -Werror)
# GCC 12 reports impossible overlaps inside std::string at -O2/-O3 (a known false positive).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND TALVIK_WARNINGS -Wno-restrict)
endif()

set(TALVIK_SANITIZER_FLAGS "")
if(TALVIK_SANITIZE AND TALVIK_TSAN)
  message(FATAL_ERROR "TALVIK_SANITIZE and TALVIK_TSAN need separate build trees")
endif()
if(TALVIK_TSAN)
  # -O1 keeps the race detector's run time bearable; assertions stay on.
  set(TALVIK_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer -O1)
  add_compile_options(${TALVIK_SANITIZER_FLAGS})
  add_link_options(-fsanitize=thread)
endif()
if(TALVIK_SANITIZE)
  set(TALVIK_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${TALVIK_SANITIZER_FLAGS})
  add_link_options(${TALVIK_SANITIZER_FLAGS})
endif()

# In the fuzzing tree every library carries the coverage instrumentation libFuzzer steers by;
# without it only the fuzz target's own file would be seen.
if(TALVIK_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# talvik_library(<target> [SHARED] SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One library per folder; headers are included as "<folder>/<Unit>.h" from the repo root.
function(talvik_library target)
  cmake_parse_arguments(A "SHARED" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  if(A_SHARED)
    add_library(${target} SHARED ${A_SOURCES})
  else()
    add_library(${target} STATIC ${A_SOURCES})
  endif()
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${TALVIK_WARNINGS})
  if(A_DEPS)
    target_link_libraries(${target} PUBLIC ${A_DEPS})
  endif()
  if(A_PRIVATE_DEPS)
    target_link_libraries(${target} PRIVATE ${A_PRIVATE_DEPS})
  endif()
endfunction()

# talvik_tests(<folder-leaf> SOURCES ... DEPS ... [ENVIRONMENT ...] [PROGRAM <name>] [PREFIX <prefix>])
# Builds <leaf>_tests (or PROGRAM) and registers every test case as "<leaf>.<Suite>.<Case>" (or
# "<PREFIX><Suite>.<Case>": a folder's real-input tests take a program of their own, "<leaf>.X11.").
function(talvik_tests leaf)
  cmake_parse_arguments(A "" "PROGRAM;PREFIX" "SOURCES;DEPS;ENVIRONMENT" ${ARGN})
  set(program ${leaf}_tests)
  if(A_PROGRAM)
    set(program ${A_PROGRAM})
  endif()
  set(prefix "${leaf}.")
  if(A_PREFIX)
    set(prefix "${A_PREFIX}")
  endif()
  add_executable(${program} ${A_SOURCES})
  target_compile_options(${program} PRIVATE ${TALVIK_WARNINGS})
  target_include_directories(${program} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  # (every test program may start programs of its own, through the bounded helpers of tests/; its
  # settings are its process's own, never the user's nor another test process's: tests/OwnSettings.cpp)
  target_link_libraries(${program} PRIVATE ${A_DEPS} talvik_child_program talvik_own_settings GTest::gtest
                                           GTest::gmock GTest::gtest_main)
  set(env
    "QT_QPA_PLATFORM=offscreen"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1:intercept_strndup=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:history_size=4"
    "TALVIK_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "TALVIK_BINARY_DIR=${CMAKE_BINARY_DIR}"
    # The suites expect the English format settings whatever the user's locale; the tests of other
    # locales name theirs.
    "LC_ALL=C.UTF-8"
    ${A_ENVIRONMENT})
  # Each test runs through env(1) with these settings: a list-valued ENVIRONMENT property does not
  # survive test discovery (only its first entry would be set).
  set_property(TARGET ${program} PROPERTY CROSSCOMPILING_EMULATOR /usr/bin/env ${env})
  # NO_PRETTY_VALUES: a parameterized case is named by its suite's name generator alone, never by the
  # printed parameter (which for a struct is its bytes, different in every build).
  gtest_discover_tests(${program}
    TEST_PREFIX "${prefix}"
    NO_PRETTY_VALUES
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300)
  # A headless program can also run whole, every case in one process (scripts/test runs each so,
  # shuffled): build/suites/<program> starts it with the tests' settings and passes on its arguments.
  # The real-input programs need an X server and stay out.
  if(NOT prefix MATCHES "\\.(X11|e2e)\\.$")
    set(script "#!/bin/sh\n# Runs ${program} with the settings its tests have under ctest.\nexec /usr/bin/env")
    foreach(e IN LISTS env)
      string(APPEND script " '${e}'")
    endforeach()
    string(APPEND script " '$<TARGET_FILE:${program}>' \"$@\"\n")
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/suites/${program}" CONTENT "${script}"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
  endif()
endfunction()

# talvik_bench(<name> SOURCES ... DEPS ...)
function(talvik_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# talvik_fuzzer(<name> SOURCES ... DEPS ...): a libFuzzer target (clang only).
function(talvik_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${TALVIK_WARNINGS} -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  set_property(GLOBAL APPEND PROPERTY TALVIK_FUZZERS ${name})
endfunction()

# After every folder is added: a "fuzzers" target that builds only the fuzz targets (and what they
# link), and fuzzers.txt in the build tree naming each target and its program, one per line, for the
# scripts that run them. A new talvik_fuzzer() is picked up without a list to edit.
function(talvik_fuzzer_index)
  get_property(names GLOBAL PROPERTY TALVIK_FUZZERS)
  add_custom_target(fuzzers DEPENDS ${names})
  set(lines "")
  foreach(name IN LISTS names)
    string(APPEND lines "${name} $<TARGET_FILE:${name}>\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzzers.txt CONTENT "${lines}")
endfunction()
