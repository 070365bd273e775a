# What both mingw-w64 toolchain files share: compilers, search roots, a static runtime
# so every .exe and .dll stands alone, and Wine as the emulator ctest runs them with.
set(CMAKE_C_COMPILER ${QLY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QLY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QLY_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QLY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
