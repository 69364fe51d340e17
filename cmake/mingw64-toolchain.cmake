# Cross-builds Kelvarin for 64-bit Windows on Debian with MinGW-w64 (package
# g++-mingw-w64-x86-64-posix). The programs it makes run on Debian under Wine through
# cmake/wine-run, which CTest uses as the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt for MinGW comes as a prebuilt prefix in a tarball (KELVARIN_QT_ARCHIVE), unpacked once into
# the build tree so that the source tree stays clean; its moc, rcc and uic are Debian's own of
# the same version. Check projects that CMake makes while configuring do not see the variable.
if(DEFINED KELVARIN_QT_ARCHIVE)
    set(KELVARIN_QT_ROOT ${CMAKE_BINARY_DIR}/qt)
    if(NOT EXISTS ${KELVARIN_QT_ROOT}/unpacked)
        if(NOT EXISTS ${KELVARIN_QT_ARCHIVE})
            message(FATAL_ERROR "Qt for MinGW-w64 not found at ${KELVARIN_QT_ARCHIVE}")
        endif()
        message(STATUS "Unpacking ${KELVARIN_QT_ARCHIVE}")
        file(REMOVE_RECURSE ${KELVARIN_QT_ROOT})
        file(ARCHIVE_EXTRACT INPUT ${KELVARIN_QT_ARCHIVE} DESTINATION ${KELVARIN_QT_ROOT})
        file(GLOB KELVARIN_QT_PREFIX LIST_DIRECTORIES true ${KELVARIN_QT_ROOT}/qt-*)
        file(WRITE ${KELVARIN_QT_ROOT}/unpacked "${KELVARIN_QT_PREFIX}")
    endif()
    file(READ ${KELVARIN_QT_ROOT}/unpacked KELVARIN_QT_PREFIX)
    list(APPEND CMAKE_PREFIX_PATH ${KELVARIN_QT_PREFIX})
    # The Qt prefix lies outside the MinGW root, so the root-path restriction must let it in.
    list(APPEND CMAKE_FIND_ROOT_PATH ${KELVARIN_QT_PREFIX})
    set(QT_HOST_PATH /usr CACHE PATH "Prefix of the Qt host tools (moc, rcc, uic)")
endif()
