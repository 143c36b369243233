# Cross toolchain for the Windows builds. KX_WIN_ARCH picks the target:
# i686 (the shipped 32-bit deliverables) or x86_64 (the test build where the
# machine can't run Wine's 32-bit loader).
if(NOT KX_WIN_ARCH)
  set(KX_WIN_ARCH i686)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KX_WIN_ARCH)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KX_WIN_ARCH})
set(_triple ${KX_WIN_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
