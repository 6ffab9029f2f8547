# bench_catalogue: reader throughput against pugixml on a generated 10 MB catalogue, and the
# cost of FormDeviceParam, of a GoDeviceParams that finds nothing and of the questions on a
# catalogue without device entries. pugixml is needed by this benchmark only.
find_package(pugixml QUIET)
if(TARGET linvar_catalogue AND TARGET pugixml::pugixml)
    add_executable(bench_catalogue ${CMAKE_CURRENT_LIST_DIR}/bench_catalogue.cpp)
    target_link_libraries(bench_catalogue PRIVATE linvar_catalogue_synthetic pugixml::pugixml
                          benchmark::benchmark)
elseif(TARGET linvar_catalogue)
    message(STATUS "pugixml not found: bench_catalogue is not built")
endif()
