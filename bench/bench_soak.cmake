# bench_soak: the long fault soak (tests/soak) through the real workers against linvar-sim.
if(TARGET linvar_soak)
    add_executable(bench_soak ${CMAKE_CURRENT_LIST_DIR}/bench_soak.cpp)
    target_link_libraries(bench_soak PRIVATE linvar_soak)
endif()
