# Paint cost of the virtual grid against the row count and against a QTableView.
if(TARGET linvar_controls)
    add_executable(bench_grid ${CMAKE_CURRENT_LIST_DIR}/bench_grid.cpp)
    target_link_libraries(bench_grid PRIVATE linvar_controls benchmark::benchmark)
endif()
