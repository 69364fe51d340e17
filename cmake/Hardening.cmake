# The platform's standard hardening for every target of the project, and the flags that make two
# builds of the same commit give the same bytes. Included once from the top-level CMakeLists.txt;
# every target gets the flags by linking kelvarin_hardening (kelvarin_warnings links it).
#
# Linux: what Debian's dpkg-buildflags gives for hardening=+all (fortified libc calls, the strong
# stack protector, stack clash protection, control-flow protection, PIE, full RELRO with
# immediate binding), so that lintian and hardening-check find nothing to report.
# MinGW-w64: ASLR with high entropy, DEP and the stack protector, and no link time stamp in the
# PE header.
#
# Sanitizer and fuzz builds keep their own flags: fortified calls and the sanitizers' own
# checks get in each other's way, and those builds are never shipped.
option(KELVARIN_HARDENING "Build with the platform's standard hardening flags" ON)

add_library(kelvarin_hardening INTERFACE)

# No build path in the binaries, and debug information that names files relative to the
# source and build folders, wherever these lie. The build folder is mapped after the source
# folder so that it wins where it lies inside it (the compiler tries the last map first).
# __DATE__ and __TIME__ would put the build's time in; -Wdate-time says so where they are used.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(kelvarin_hardening INTERFACE
        -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
        -ffile-prefix-map=${PROJECT_BINARY_DIR}=build
        -Wdate-time)
endif()

if(NOT KELVARIN_HARDENING OR KELVARIN_SANITIZE OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    return()
endif()

include(CheckCXXCompilerFlag)
# The libc's fortified calls need the optimizer: an unoptimized build (Debug, or no build type
# at all) would only get glibc's warning that they are off. Level 3 where the compiler can size
# objects at run time; glibc falls back to level 2 where it cannot. Any level a toolchain sets
# on its own gives way.
set(_kelvarin_optimized $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
# A format string that is not a literal, with no arguments, is a hole: an error everywhere.
set(_kelvarin_compile -fstack-protector-strong -Wformat -Werror=format-security)
set(_kelvarin_link -fstack-protector-strong)

if(WIN32)
    # The PE header asks for a relocatable image with 64-bit ASLR and non-executable data, and
    # has no time stamp (it would change with every link).
    list(APPEND _kelvarin_link
        -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat -Wl,--no-insert-timestamp)
    # The stack protector's runtime (libssp) is linked in, at the end of every link line, so
    # that the program needs no libssp-0.dll beside it; the DLL the compiler would otherwise
    # import is then left unused.
    string(APPEND CMAKE_CXX_STANDARD_LIBRARIES " -l:libssp.a")
else()
    target_compile_options(kelvarin_hardening INTERFACE
        $<${_kelvarin_optimized}:-U_FORTIFY_SOURCE$<SEMICOLON>-D_FORTIFY_SOURCE=3>)
    foreach(flag IN ITEMS -fstack-clash-protection -fcf-protection)
        string(MAKE_C_IDENTIFIER "KELVARIN_HAS${flag}" has_flag)
        check_cxx_compiler_flag(${flag} ${has_flag})
        if(${has_flag})
            list(APPEND _kelvarin_compile ${flag})
        endif()
    endforeach()
    list(APPEND _kelvarin_link -Wl,-z,relro -Wl,-z,now)

    # Position-independent executables, so that ASLR moves the program too (CMP0083).
    include(CheckPIESupported)
    check_pie_supported(LANGUAGES CXX)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()

target_compile_options(kelvarin_hardening INTERFACE ${_kelvarin_compile})
target_link_options(kelvarin_hardening INTERFACE ${_kelvarin_link})
