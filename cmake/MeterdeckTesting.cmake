# md_add_test(NAME <name> LABEL <label> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>])
# One Qt Test executable registered with CTest; GUI-less via the offscreen platform.
function(md_add_test)
    cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS "${T_LABEL}"
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
    md_add_sanitizer_environment(${T_NAME})
endfunction()

# Under MD_SANITIZER, the checker's options and the suppressions for Debian's uninstrumented
# libraries (tests/tsan.supp, tests/lsan.supp); child processes a test starts inherit them.
function(md_add_sanitizer_environment test)
    set(supp ${PROJECT_SOURCE_DIR}/tests)
    if(MD_SANITIZER STREQUAL "address")
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
            "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:halt_on_error=1"
            "LSAN_OPTIONS=suppressions=${supp}/lsan.supp:print_suppressions=1"
            "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    elseif(MD_SANITIZER STREQUAL "thread")
        set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
            "TSAN_OPTIONS=suppressions=${supp}/tsan.supp:halt_on_error=0:second_deadlock_stack=1")
    endif()
endfunction()
