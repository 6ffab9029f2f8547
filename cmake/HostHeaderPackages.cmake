# Header-only packages for a cross build: nlohmann-json and CLI11. Headers alone, so the build
# machine's copy serves every target; but their packages put /usr/include on the include path,
# where the build machine's C library headers would shadow the target's. So only each
# package's own folder is made visible, through a folder of the build that holds nothing else.
set(LINVAR_HOST_HEADERS_INCLUDE ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${LINVAR_HOST_HEADERS_INCLUDE})

# Makes /usr/include/<folder> (which must hold <probe>) visible to `target` as <folder>/...
function(linvar_host_headers target folder probe)
    set(source /usr/include/${folder})
    if(NOT EXISTS ${source}/${probe})
        message(FATAL_ERROR "${target}: ${source}/${probe} not found")
    endif()
    file(CREATE_LINK ${source} ${LINVAR_HOST_HEADERS_INCLUDE}/${folder} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${LINVAR_HOST_HEADERS_INCLUDE})
endfunction()

linvar_host_headers(nlohmann_json::nlohmann_json nlohmann json.hpp)
linvar_host_headers(CLI11::CLI11 CLI CLI.hpp)
