# bench_bus: a whole bus sweep and a 32-parameter read against linvar-sim (plain, echoing, and
# behind 16 ms USB batches), each against the sum of the transaction budgets the link timings
# allow; the sweep at 19200 baud too, and a search across all eight speeds on the demo bus.
if(TARGET linvar_workers AND TARGET linvar_test_support)
    add_executable(bench_bus ${CMAKE_CURRENT_LIST_DIR}/bench_bus.cpp)
    target_link_libraries(bench_bus PRIVATE linvar_workers linvar_test_support)
    target_compile_definitions(bench_bus PRIVATE
        LINVAR_DEMO_BUS="${PROJECT_SOURCE_DIR}/tools/sim/demo.conf")
endif()
