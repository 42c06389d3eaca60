# marevo_public_headers(): a folder shows its users only what lies under its include/ folder,
# spelled from the tree's root (`#include "yacht/CntlYacht.h"` names the folder that owns it);
# the headers beside its sources are its own. Call it last in the folder's CMakeLists.
function(marevo_public_headers)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/include)
        return()
    endif()
    get_directory_property(targets BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "STATIC_LIBRARY")
            target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
        elseif(type STREQUAL "EXECUTABLE")
            target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/include)
        endif()
    endforeach()
endfunction()

# marevo_test(<name> SOURCES ... LIBS ...): one GoogleTest executable, its cases registered with CTest.
function(marevo_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name}
        # One variable per property: the discovery step splits a list value into bogus
        # property names, which lost every variable after the first.
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                   ENVIRONMENT_MODIFICATION "MAREVO_SOURCE_DIR=set:${CMAKE_SOURCE_DIR}"
        DISCOVERY_TIMEOUT 60)
endfunction()

# marevo_fuzzer(<name> SOURCES ... LIBS ...): a libFuzzer target, run briefly by tools/test.
function(marevo_fuzzer name)
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzzers ${name})
endfunction()

# marevo_bench(<name> SOURCES ... LIBS ...): a Google Benchmark executable.
function(marevo_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
