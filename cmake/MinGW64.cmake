# Cross-builds the Windows agents with mingw-w64 (x86_64, POSIX threads: std::thread and
# std::jthread need them). The runtime is linked statically, so that an executable imports
# system DLLs only (KERNEL32, USER32, msvcrt and the like) and runs from any folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUEN_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QUEN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUEN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUEN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUEN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Windows 8 is the oldest release whose APIs the backend calls.
add_compile_definitions(_WIN32_WINNT=0x0602 WINVER=0x0602 UNICODE _UNICODE NOMINMAX
                        WIN32_LEAN_AND_MEAN)
