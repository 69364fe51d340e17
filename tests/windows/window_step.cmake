# One step of the Windows package's window check, run by CTest (tests/windows/CMakeLists.txt):
#   cmake -D STEP=<step> -D WORK=<folder> [-D ...] -P window_step.cmake
# A step that cannot run here (no Wine, no xvfb-run, ...) prints "skipped: <why>", which CTest
# reports as a skip.

# Stops the step as skipped unless PROGRAM is found; sets `<name>` to its path.
function(require name program package)
    find_program(${name} ${program} HINTS /usr/lib/wine NO_CACHE)
    if(NOT ${name})
        message("skipped: ${program} not found (Debian package ${package})")
        # A function cannot end the script: the caller checks `skip`.
        set(skip TRUE PARENT_SCOPE)
    endif()
    set(${name} ${${name}} PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/../support/run_step.cmake)

set(skip FALSE)
if(STEP STREQUAL "cleanup")
    # Whatever there is to clean up, with or without Wine.
    find_program(wine wine64 HINTS /usr/lib/wine NO_CACHE)
else()
    require(wine wine64 wine64)
endif()
if(STEP STREQUAL "window")
    require(xvfb_run xvfb-run xvfb)
    require(xdotool xdotool xdotool)
    require(import import imagemagick)
    require(python python3 python3)
endif()
if(skip)
    return()
endif()
get_filename_component(wineserver "${wine}" DIRECTORY)
set(wineserver ${wineserver}/wineserver)
set(prefix ${WORK}/prefix)
set(ENV{WINEPREFIX} ${prefix})
set(ENV{WINEDEBUG} -all)
# No Mono or Gecko: the editor needs neither, and Wine would offer to download them.
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
unset(ENV{WINEPATH})
string(REPLACE "|" ";" emulator "${EMULATOR}")
file(GLOB program ${WORK}/unpacked/*/kelvarin.exe)

if(STEP STREQUAL "unpack")
    # The ZIP into an empty folder: one folder, with the program in it.
    file(REMOVE_RECURSE ${WORK})
    file(MAKE_DIRECTORY ${WORK}/unpacked)
    run("unpacking ${ZIP}" ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK}/unpacked)
    file(GLOB top RELATIVE ${WORK}/unpacked ${WORK}/unpacked/*)
    get_filename_component(name ${ZIP} NAME_WLE)
    if(NOT top STREQUAL name OR NOT EXISTS ${WORK}/unpacked/${name}/kelvarin.exe)
        message(FATAL_ERROR "${ZIP} should hold one folder ${name} with kelvarin.exe, not: ${top}")
    endif()
    # A Wine prefix with nothing installed in it.
    execute_process(COMMAND ${wine} wineboot -i OUTPUT_QUIET ERROR_QUIET)
    run("wineserver -w" ${wineserver} -w)
    if(NOT EXISTS ${prefix}/system.reg)
        message(FATAL_ERROR "wineboot made no Wine prefix in ${prefix}")
    endif()
    message("${ZIP} unpacked into ${WORK}/unpacked, a fresh Wine prefix in ${prefix}")

elseif(STEP STREQUAL "image")
    run("making the image" ${emulator} ${CHECK_IMAGE} make Z:${WORK}/${VARIANT} ${LIST})

elseif(STEP STREQUAL "window")
    if(NOT program OR NOT EXISTS ${WORK}/${VARIANT}/image.nds)
        message(FATAL_ERROR "no unpacked program or no image in ${WORK}")
    endif()
    file(GLOB old ${SHOTS}/${VARIANT}-*)
    if(old)
        file(REMOVE ${old})
    endif()
    file(MAKE_DIRECTORY ${SHOTS})
    run("the window check" ${xvfb_run} -a -s "-screen 0 ${SCREEN}x24 -nolisten tcp"
        ${python} ${CMAKE_CURRENT_LIST_DIR}/drive_window.py --wine ${wine} --prefix ${prefix}
        --program ${program} --dpi ${DPI} --image ${WORK}/${VARIANT}/image.nds
        --client-size ${WORK}/${VARIANT}/client-size --fit ${FIT} --keys ${KEYS}
        --shots ${SHOTS}/${VARIANT})

elseif(STEP STREQUAL "saved")
    run("comparing the saved image" ${emulator} ${CHECK_IMAGE} compare Z:${WORK}/${VARIANT}
        ${LIST})

elseif(STEP STREQUAL "cleanup")
    if(wine AND EXISTS ${prefix})
        execute_process(COMMAND ${wineserver} -k ERROR_QUIET)
    endif()
    file(REMOVE_RECURSE ${WORK})
    message("removed ${WORK}; the screenshots stay in ${SHOTS}")

else()
    message(FATAL_ERROR "unknown step '${STEP}'")
endif()
