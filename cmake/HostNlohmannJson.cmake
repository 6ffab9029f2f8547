# nlohmann-json for a cross build. The library is headers only, so the build machine's copy
# serves every target; but its package puts /usr/include on the include path, where the
# build machine's C library headers would shadow the target's. So only its own folder is
# made visible, through a folder of the build that holds nothing else.
set(LINVAR_HOST_JSON_HEADERS /usr/include/nlohmann)
if(NOT EXISTS ${LINVAR_HOST_JSON_HEADERS}/json.hpp)
    message(FATAL_ERROR "nlohmann-json not found in ${LINVAR_HOST_JSON_HEADERS}")
endif()
set(LINVAR_HOST_JSON_INCLUDE ${CMAKE_BINARY_DIR}/host-json)
file(MAKE_DIRECTORY ${LINVAR_HOST_JSON_INCLUDE})
file(CREATE_LINK ${LINVAR_HOST_JSON_HEADERS} ${LINVAR_HOST_JSON_INCLUDE}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${LINVAR_HOST_JSON_INCLUDE})
