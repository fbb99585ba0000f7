# quillon_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [TIMEOUT <s>])
# One QtTest executable a test class, registered with ctest and run under the
# offscreen platform with a private settings file and data folder.
function(quillon_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE quillon_testsupport Qt6::Test ${T_LIBS} quillon_options)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set(env "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QUILLON_DATA=${QUILLON_BUILD_DATA_DIR};QT_LOGGING_RULES=qt.qpa.*=false")
    if(QUILLON_SANITIZE)
        # The web engine mismatches sized deletes of its own and keeps allocations to
        # the end of the process; neither is ours to report.
        list(APPEND env "ASAN_OPTIONS=new_delete_type_mismatch=0"
                        "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_FUNCTION_LIST_DIR}/lsan-suppressions.txt")
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
