# Test registration for both kinds of test:
#   qly_add_native_test - plain C++ core tests (GoogleTest); in every configuration,
#                         under Wine in the Windows ones (LLP64 and mingw are worth checking).
#   qly_add_wine_test   - tests of the Win32 layer; Windows configurations only. They share
#                         one desktop (trayhost's windows, global hooks), so they never run
#                         at the same time as each other.
# Windows tests run through scripts/wine_run.sh, which gives them the private prefix of this
# build folder and the Wine environment, so no test needs an ENVIRONMENT property (whose
# list would be split by gtest_discover_tests). The fixture "wine" prepares the prefix and
# starts a persistent wineserver; its cleanup ends every Wine process of the prefix.

include(GoogleTest)

set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(QLY_WINE_SESSION_DIR ${CMAKE_SOURCE_DIR}/scripts)
set(QLY_WINE_SESSION ${QLY_WINE_SESSION_DIR}/wine_session.sh)
set(QLY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

if(QLY_WINDOWS)
    # Every Windows test program runs through wine_run.sh, which prepares and uses the
    # private prefix of this build folder (also for gtest's discovery at test time).
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QLY_WINE_SESSION_DIR}/wine_run.sh ${QLY_WINEPREFIX})
    add_test(NAME wine_session_start
             COMMAND ${QLY_WINE_SESSION} start ${QLY_WINEPREFIX})
    set_tests_properties(wine_session_start PROPERTIES
        FIXTURES_SETUP wine TIMEOUT 120)
    add_test(NAME wine_session_stop
             COMMAND ${QLY_WINE_SESSION} stop ${QLY_WINEPREFIX})
    set_tests_properties(wine_session_stop PROPERTIES
        FIXTURES_CLEANUP wine TIMEOUT 60)
endif()

function(_qly_test_target name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    qly_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
endfunction()

# qly_add_native_test(name SOURCES ... LIBS ...)
function(qly_add_native_test name)
    _qly_test_target(${name} ${ARGN})
    if(QLY_WINDOWS)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60)
    else()
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 60)
    endif()
endfunction()

# qly_add_wine_test(name SOURCES ... LIBS ...): only in Windows configurations.
function(qly_add_wine_test name)
    if(NOT QLY_WINDOWS)
        return()
    endif()
    _qly_test_target(${name} ${ARGN})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES FIXTURES_REQUIRED wine
                   RESOURCE_LOCK wine_desktop TIMEOUT 120)
endfunction()

# qly_add_fuzz_target(name SOURCES ... LIBS ... [SEEDS files...]): a libFuzzer-style target
# (defines LLVMFuzzerTestOneInput). Native configuration only. With clang it links libFuzzer
# (coverage-guided); with g++ it links the standalone driver. Either way a short regression
# run over the seeds and random mutations is registered as a test; long runs are by hand:
#   build/native/bin/<name> -max_total_time=600 [seed files]
function(qly_add_fuzz_target name)
    if(NOT QLY_NATIVE)
        return()
    endif()
    cmake_parse_arguments(F "" "" "SOURCES;LIBS;SEEDS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    qly_target_defaults(${name})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    else()
        target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz_driver/standalone_fuzz_main.cpp)
    endif()
    add_test(NAME ${name}.short COMMAND ${name} -runs=20000 ${F_SEEDS})
    set_tests_properties(${name}.short PROPERTIES TIMEOUT 120)
endfunction()
