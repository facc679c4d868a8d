# Helpers that give every folder the same shape: one static library per source
# folder, one GoogleTest executable per test folder.

option(CORVANE_SANITIZE "Build the sanitizer test targets" ON)
option(CORVANE_FUZZ "Build the libFuzzer targets with clang and run them (label fuzz)" OFF)
set(CORVANE_FUZZ_SECONDS 45 CACHE STRING "How long each fuzz test runs")

# corvane_fuzz_test(<target>)
# Runs a libFuzzer target of fuzz/ for CORVANE_FUZZ_SECONDS on a corpus in the
# build tree, which the target seeds itself.
function(corvane_fuzz_test target)
    if(NOT CORVANE_FUZZ)
        return()
    endif()
    set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${target})
    add_test(NAME fuzz_${target}
             COMMAND ${CMAKE_BINARY_DIR}/fuzz/${target} -max_total_time=${CORVANE_FUZZ_SECONDS}
                     -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 ${corpus})
    set_tests_properties(fuzz_${target} PROPERTIES
        LABELS fuzz
        TIMEOUT 300
        ENVIRONMENT "CORVANE_FUZZ_SEEDS=${corpus};ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
    file(MAKE_DIRECTORY ${corpus})
endfunction()

function(corvane_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# corvane_library(<name> [DEPS <targets...>])
# Builds corvane_<name> from the .cpp files of the calling folder. Only the ui
# layers may link Qt Widgets; the check keeps the logic testable headless.
function(corvane_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    if(NOT name MATCHES "^ui")
        foreach(dep IN LISTS ARG_DEPS)
            if(dep MATCHES "Widgets" OR dep MATCHES "^corvane_ui")
                message(FATAL_ERROR "corvane_${name} must not depend on ${dep}")
            endif()
        endforeach()
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    file(GLOB resources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    if(sources)
        add_library(corvane_${name} STATIC ${sources} ${headers} ${resources})
        target_include_directories(corvane_${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(corvane_${name} PUBLIC ${ARG_DEPS})
        corvane_warnings(corvane_${name})
    else()
        add_library(corvane_${name} INTERFACE)
        target_include_directories(corvane_${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(corvane_${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# corvane_test(<folder> [LIBS <targets...>] [GUI])
# Builds test_<folder> from tests/<folder>/*.cpp with the shared test support and
# registers every GoogleTest case with CTest. GUI tests get a QApplication on the
# offscreen platform; the others a QCoreApplication.
function(corvane_test folder)
    cmake_parse_arguments(ARG "GUI" "" "LIBS" ${ARGN})
    string(REPLACE "/" "_" tname ${folder})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(test_${tname} ${sources})
    corvane_warnings(test_${tname})
    if(ARG_GUI)
        target_link_libraries(test_${tname} PRIVATE corvane_testmain_gui)
    else()
        target_link_libraries(test_${tname} PRIVATE corvane_testmain_core)
    endif()
    target_link_libraries(test_${tname} PRIVATE corvane_testsupport ${ARG_LIBS} GTest::gtest)
    gtest_discover_tests(test_${tname}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CORVANE_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
                   LABELS ${tname})
endfunction()

# corvane_sanitized_test(<target> <test name> SOURCES <files...> LIBS <targets...>
#                        [ENVIRONMENT <VAR=value>...])
# Builds <target> from the sources with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it in the ordinary ctest run (label sanitize).
function(corvane_sanitized_test target testName)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    set(flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_executable(${target} ${ARG_SOURCES})
    target_compile_options(${target} PRIVATE ${flags})
    target_link_options(${target} PRIVATE ${flags})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${ARG_LIBS})
    corvane_warnings(${target})
    if(NOT ARG_ENVIRONMENT)
        set(ARG_ENVIRONMENT ASAN_OPTIONS=abort_on_error=0:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1)
    endif()
    add_test(NAME ${testName} COMMAND ${target})
    set_tests_properties(${testName} PROPERTIES LABELS sanitize ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
