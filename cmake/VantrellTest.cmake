# vantrell_add_test(<name> SOURCES <files...> LIBS <targets...> [LOCKS <resources...>]
#                   [RUN_IN <program and arguments>] [LABELS <labels...>]
#                   [DISPLAYS <xcb|wayland...>])
# One QtTest executable per area, registered with ctest; windows render offscreen.
# LOCKS names fixed resources (a fixed port, a network namespace name) that tests must not
# use at the same time when ctest runs in parallel. RUN_IN names a program that runs the test
# (the test's path follows its arguments), such as tests/support/in-network-namespace.
# LABELS "threads" marks a test of code that runs off the window thread: the ThreadSanitizer
# build (target vantrell_thread_tests, ctest -L threads) builds and runs only those.
# DISPLAYS registers the test once more for each platform named, as <name>_<platform>, run
# on the private display servers scripts/test starts (tests/support/on-display); skipped
# where there are none. Tests on one display server take turns: focus is the server's.
function(vantrell_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LOCKS;RUN_IN;LABELS;DISPLAYS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(ARG_RUN_IN)
        add_test(NAME ${name} COMMAND ${ARG_RUN_IN} $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VANTRELL_BUILD_DIR=${PROJECT_BINARY_DIR}"
        TIMEOUT 300)
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
        if("threads" IN_LIST ARG_LABELS)
            set_property(GLOBAL APPEND PROPERTY VANTRELL_THREAD_TESTS ${name})
        endif()
    endif()
    if(ARG_LOCKS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
    foreach(platform IN LISTS ARG_DISPLAYS)
        add_test(NAME ${name}_${platform}
            COMMAND ${PROJECT_SOURCE_DIR}/tests/support/on-display ${platform} ${ARG_RUN_IN}
                $<TARGET_FILE:${name}>)
        set_tests_properties(${name}_${platform} PROPERTIES
            ENVIRONMENT "VANTRELL_BUILD_DIR=${PROJECT_BINARY_DIR}"
            TIMEOUT 300 SKIP_RETURN_CODE 77
            RESOURCE_LOCK "${ARG_LOCKS};display-${platform}")
    endforeach()
endfunction()
