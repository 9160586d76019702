# GoogleTest for every preset, and one ctest entry per test executable.
if(WIN32)
    # Built from the source tree that Debian's googletest package installs.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(VELLUMARK_GTEST gtest gtest_main)
else()
    find_package(GTest REQUIRED)
    set(VELLUMARK_GTEST GTest::gtest GTest::gtest_main)
endif()

# vellumark_test(NAME <name> SOURCES ... LIBS ... [WINE_FIXTURE])
# Windows tests run under Wine through the emulator; they all share one
# prepared prefix and display, which the harness fixture sets up and tears down.
function(vellumark_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_compile_options(${T_NAME} PRIVATE ${VELLUMARK_WARNINGS})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${VELLUMARK_GTEST})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    if(WIN32)
        target_link_options(${T_NAME} PRIVATE ${VELLUMARK_STACK_RESERVE})
        set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine)
    else()
        # Allocation failure is a handled case in this code base, not a bug.
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "ASAN_OPTIONS=allocator_may_return_null=1")
    endif()
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
