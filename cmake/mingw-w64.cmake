# Cross-building the Windows programs with Debian's mingw-w64 (64-bit, POSIX thread model), run
# and tested under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEL_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Whole programs: no DLL of the compiler's runtime is needed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest starts the Windows test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
