# bench_link: transmitter hold accuracy, silent-address cost and per-transaction overhead
# of SendRequest over a pseudo-terminal against linvar-sim.
if(WIN32)
    # On Windows the same name measures the hold on a real COM port (README: Windows).
    add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/bench_link_windows.cpp)
    target_link_libraries(bench_link PRIVATE linvar_link linvar_test_support)
elseif(TARGET linvar_test_support)
    add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/bench_link.cpp)
    target_link_libraries(bench_link PRIVATE linvar_link linvar_test_support)
    target_compile_definitions(bench_link PRIVATE
        LINVAR_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
endif()
