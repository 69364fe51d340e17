cmake_minimum_required(VERSION 3.25)

# Installs the build into a scratch prefix and checks that a desktop finds the program there:
# the executable, its desktop entry, and the icon the entry names in the hicolor theme.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
    bin/kelvarin
    share/applications/kelvarin.desktop
    share/icons/hicolor/16x16/apps/kelvarin.png
    share/icons/hicolor/32x32/apps/kelvarin.png
    share/icons/hicolor/48x48/apps/kelvarin.png
    share/icons/hicolor/256x256/apps/kelvarin.png)
foreach(path IN LISTS expected)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(STRINGS ${PREFIX}/share/applications/kelvarin.desktop entry)
if(NOT "Exec=kelvarin" IN_LIST entry OR NOT "Icon=kelvarin" IN_LIST entry)
    message(FATAL_ERROR "the desktop entry does not start kelvarin with its icon")
endif()
file(REMOVE_RECURSE ${PREFIX})
