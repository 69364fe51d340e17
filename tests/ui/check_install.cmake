cmake_minimum_required(VERSION 3.25)

# Installs the build into a scratch prefix and checks that a desktop finds the program there:
# the executable, its desktop entry, the AppStream metadata a software centre reads, and the icon
# the entry names in the hicolor theme, at every size the source tree holds it in.
get_filename_component(SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
set(ICONS ${SOURCE_DIR}/data/icons/hicolor)

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(path IN ITEMS bin/kelvarin share/applications/org.kelvarin.Kelvarin.desktop
                      share/metainfo/org.kelvarin.Kelvarin.metainfo.xml)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(STRINGS ${PREFIX}/share/applications/org.kelvarin.Kelvarin.desktop entry)
if(NOT "Exec=kelvarin %f" IN_LIST entry OR NOT "Icon=kelvarin" IN_LIST entry)
    message(FATAL_ERROR "the desktop entry does not start kelvarin with its icon")
endif()

# Desktops look for every application's icon at 48x48 in the hicolor theme, as freedesktop icon
# themes require.
file(GLOB icons RELATIVE ${ICONS} ${ICONS}/*/apps/kelvarin.png)
if(NOT "48x48/apps/kelvarin.png" IN_LIST icons)
    message(FATAL_ERROR "no 48x48 icon in ${ICONS}")
endif()
foreach(icon IN LISTS icons)
    set(installed ${PREFIX}/share/icons/hicolor/${icon})
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${ICONS}/${icon} ${installed}
                    RESULT_VARIABLE different)
    if(NOT different EQUAL 0)
        message(FATAL_ERROR "not installed as it is in the source tree: ${icon}")
    endif()
    # A PNG gives its width and height as the first two big-endian words of its header chunk.
    string(REGEX MATCH "^[0-9]+" size ${icon})
    file(READ ${installed} header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING ${header} 0 8 width)
    string(SUBSTRING ${header} 8 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT width EQUAL size OR NOT height EQUAL size)
        message(FATAL_ERROR "${icon} is ${width}x${height}, not ${size}x${size}")
    endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
