# Toolchain file for scripts/check-macos.sh: configures the project for macOS on another
# host, against the SDK at $MACOS_SDK_ROOT with the clang in $QUEN_CHECK_CLANG. Such a build
# compiles every object of the agents (both slices, joined by lipo) but links nothing: a
# macOS linker and the SDK's library stubs are not assumed.

set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_CROSSCOMPILING ON)

set(sdk "$ENV{MACOS_SDK_ROOT}")
set(CMAKE_OSX_SYSROOT "${sdk}")
set(CMAKE_CXX_COMPILER "$ENV{QUEN_CHECK_CLANG}")
set(CMAKE_OBJCXX_COMPILER "$ENV{QUEN_CHECK_CLANG}")
# clang takes -arch only for an Apple target; the slices come from -arch and -Xarch_.
set(CMAKE_CXX_COMPILER_TARGET arm64-apple-darwin)
set(CMAKE_OBJCXX_COMPILER_TARGET arm64-apple-darwin)
# The binary tools CMake looks for on Apple systems, as the script found them (LLVM's).
set(CMAKE_AR "$ENV{QUEN_CHECK_AR}")
set(CMAKE_RANLIB "$ENV{QUEN_CHECK_RANLIB}")
set(CMAKE_INSTALL_NAME_TOOL "$ENV{QUEN_CHECK_INSTALL_NAME_TOOL}")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# An SDK laid out as include/, Frameworks/ and lib/ (not as Xcode's usr/include and
# System/Library/Frameworks) names its directories itself.
if(NOT EXISTS "${sdk}/usr/include")
  set(layout "-nostdinc++ -isystem ${sdk}/include/c++/v1 -iframework ${sdk}/Frameworks")
  string(APPEND layout " -isystem ${sdk}/include")
  set(CMAKE_CXX_FLAGS_INIT "${layout}")
  set(CMAKE_OBJCXX_FLAGS_INIT "${layout}")
endif()

set(CMAKE_FIND_ROOT_PATH "${sdk}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
