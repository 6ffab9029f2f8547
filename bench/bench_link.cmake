# bench_link: transmitter hold accuracy, silent-address cost and per-transaction overhead
# of SendRequest over a pseudo-terminal against linvar-sim.
if(TARGET linvar_test_support)
    add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/bench_link.cpp)
    target_link_libraries(bench_link PRIVATE linvar_link linvar_test_support)
    target_compile_definitions(bench_link PRIVATE
        LINVAR_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
endif()
