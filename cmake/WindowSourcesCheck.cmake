# The window's sources (ui/, controls/, app/) checked to compile for Windows, in a cross build
# that has no Qt for Windows to link against: every source, and the moc output of every
# header, goes through the cross compiler up to its syntax (-fsyntax-only), with the build
# machine's Qt 6 headers (they are the same for every platform; the moc output is too). So
# code that only builds on Linux fails the Windows build before a Windows user finds it.
#
# As with nlohmann-json, only Qt's own folder is put on the include path: /usr/include would
# shadow the target's C library with the build machine's.
option(LINVAR_WINDOW_SYNTAX_CHECK "Check that the window's sources compile for Windows" ON)
if(NOT LINVAR_WINDOW_SYNTAX_CHECK)
    return()
endif()
set(LINVAR_HOST_QT_HEADERS /usr/include/x86_64-linux-gnu/qt6
    CACHE PATH "The build machine's Qt 6 headers, for the Windows syntax check of the window")
set(LINVAR_HOST_MOC /usr/lib/qt6/libexec/moc
    CACHE FILEPATH "The build machine's moc, for the Windows syntax check of the window")
if(NOT EXISTS ${LINVAR_HOST_QT_HEADERS}/QtWidgets/QWidget OR NOT EXISTS ${LINVAR_HOST_MOC})
    message(FATAL_ERROR "The Windows syntax check of the window needs Qt 6's headers and moc "
                        "(scripts/deps.sh installs them), or -DLINVAR_WINDOW_SYNTAX_CHECK=OFF")
endif()

set(check_dir ${CMAKE_BINARY_DIR}/window-syntax)
set(qt ${LINVAR_HOST_QT_HEADERS})
set(include_flags -I${PROJECT_SOURCE_DIR} -isystem ${qt} -isystem ${qt}/QtCore
    -isystem ${qt}/QtGui -isystem ${qt}/QtWidgets -isystem ${LINVAR_HOST_HEADERS_INCLUDE})
# As a Windows build of Qt compiles its users: wide-character Windows API.
set(define_flags -DUNICODE -D_UNICODE -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB)
# What the window's libraries get from their CMakeLists.
list(APPEND define_flags -DLINVAR_VERSION="${PROJECT_VERSION}"
    -DLINVAR_WEB_ADDRESS="${LINVAR_WEB_ADDRESS}")
set(moc_flags -I${PROJECT_SOURCE_DIR} -I${qt} -I${qt}/QtCore -I${qt}/QtGui -I${qt}/QtWidgets)
set(compile_flags -std=c++20 -fsyntax-only -Wall -Wextra ${include_flags} ${define_flags})

# One stamp per source; the compiler's dependency file reruns a check when a header changes.
function(linvar_window_syntax_check source stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_CXX_COMPILER} ${compile_flags} -MD -MF ${stamp}.d -MT ${stamp} ${source}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${source}
        DEPFILE ${stamp}.d
        COMMENT "Windows syntax check of ${source}"
        VERBATIM)
endfunction()

file(GLOB window_sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/ui/*.cpp ${PROJECT_SOURCE_DIR}/controls/*.cpp
    ${PROJECT_SOURCE_DIR}/app/*.cpp)
file(GLOB window_headers CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/ui/*.h ${PROJECT_SOURCE_DIR}/controls/*.h)
set(stamps)
foreach(source IN LISTS window_sources)
    file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${source})
    string(REPLACE "/" "_" name ${name})
    linvar_window_syntax_check(${source} ${check_dir}/${name}.checked)
    list(APPEND stamps ${check_dir}/${name}.checked)
endforeach()

# moc runs over every header (one without Q_OBJECT gives an empty file), so a new class
# needs nothing here; the moc files are checked together, as AUTOMOC compiles them.
set(moc_includes)
foreach(header IN LISTS window_headers)
    file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${header})
    string(REPLACE "/" "_" name ${name})
    set(moc_file ${check_dir}/moc_${name}.cpp)
    add_custom_command(OUTPUT ${moc_file}
        COMMAND ${LINVAR_HOST_MOC} -nw ${moc_flags} ${define_flags} -D_WIN32 -DWIN32
            ${header} -o ${moc_file}
        DEPENDS ${header} ${LINVAR_HOST_MOC}
        COMMENT "Host moc of ${name} for the Windows syntax check"
        VERBATIM)
    string(APPEND moc_includes "#include \"${moc_file}\"\n")
    list(APPEND moc_files ${moc_file})
endforeach()
file(CONFIGURE OUTPUT ${check_dir}/mocs.cpp CONTENT "${moc_includes}")
add_custom_command(OUTPUT ${check_dir}/mocs.checked
    COMMAND ${CMAKE_CXX_COMPILER} ${compile_flags} -MD -MF ${check_dir}/mocs.checked.d
        -MT ${check_dir}/mocs.checked ${check_dir}/mocs.cpp
    COMMAND ${CMAKE_COMMAND} -E touch ${check_dir}/mocs.checked
    DEPENDS ${check_dir}/mocs.cpp ${moc_files}
    DEPFILE ${check_dir}/mocs.checked.d
    COMMENT "Windows syntax check of the window's moc output"
    VERBATIM)
list(APPEND stamps ${check_dir}/mocs.checked)

add_custom_target(linvar_window_syntax ALL DEPENDS ${stamps})
