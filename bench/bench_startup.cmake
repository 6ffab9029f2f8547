# Start-up of the window: process start to its first paint, and the memory it holds then.
if(TARGET linvar_ui)
    add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/bench_startup.cpp)
    target_link_libraries(bench_startup PRIVATE linvar_ui)
    target_compile_definitions(bench_startup PRIVATE
        LINVAR_SAMPLE_CATALOGUE_DIR="${PROJECT_SOURCE_DIR}/catalogue/sample")
endif()
