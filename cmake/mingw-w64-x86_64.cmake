# Cross-builds the Windows (x86-64) programs with Debian's mingw-w64. The POSIX-threads
# variant of the compiler is named directly: its standard library has std::thread and
# std::mutex, which the win32-threads variant lacks, and naming it needs no system change.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LINVAR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LINVAR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LINVAR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LINVAR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LINVAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run without the compiler's DLLs beside them (libstdc++, libgcc,
# libwinpthread): everything is linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test discovery runs the test programs on the build machine, through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
