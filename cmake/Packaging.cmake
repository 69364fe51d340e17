# The Debian package of the editor, made by CPack from the project's own install rules:
#   cmake --build --preset default --target package    ->  build/kelvarin_<version>_amd64.deb

# The AppStream file's newest release entry is the one record of a release: the software centre
# shows it, and the manual page and the package's changelog are made from it. It has to name
# the version being built.
set(_kelvarin_metainfo ${PROJECT_SOURCE_DIR}/data/org.kelvarin.Kelvarin.metainfo.xml)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_kelvarin_metainfo})
file(READ ${_kelvarin_metainfo} _kelvarin_metainfo_text)
string(REGEX MATCH "<release version=\"([^\"]*)\" date=\"([0-9-]*)\">(.*)" _
       "${_kelvarin_metainfo_text}")
set(KELVARIN_RELEASE_VERSION "${CMAKE_MATCH_1}")
set(KELVARIN_RELEASE_DATE "${CMAKE_MATCH_2}")
string(REGEX REPLACE "</release>.*" "" _kelvarin_release_notes "${CMAKE_MATCH_3}")
if(NOT KELVARIN_RELEASE_VERSION STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR
            "${_kelvarin_metainfo}: the newest <release> is '${KELVARIN_RELEASE_VERSION}' but "
            "the project's version is ${PROJECT_VERSION}: add a release entry for "
            "${PROJECT_VERSION}, with its date, at the top of <releases>")
endif()

execute_process(COMMAND date -u +%s -d "${KELVARIN_RELEASE_DATE} 00:00:00"
                OUTPUT_VARIABLE _kelvarin_release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
# The packages' time stamps (every entry's time in the archives, and the archives' own; the
# .deb's and the Windows ZIP's) are those of the last commit, so that building the same commit
# again gives the same bytes: CPack clamps later times to SOURCE_DATE_EPOCH. The project configuration file runs in CPack
# itself, when the package is made, so a new commit needs no new configuration; a release
# tarball without git history uses the release date, and an epoch set from outside wins.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/package/source-date.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git -C \"${PROJECT_SOURCE_DIR}\" log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT epoch MATCHES \"^[0-9]+\$\")
        set(epoch \"${_kelvarin_release_epoch}\")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} \"\${epoch}\")
endif()
# A ZIP entry's time is the local time of day: the same in every time zone only as UTC.
set(ENV{TZ} UTC)
")

if(WIN32 OR NOT KELVARIN_BUILD_UI)
    return()
endif()

include(GNUInstallDirs)
set(_kelvarin_generated ${PROJECT_BINARY_DIR}/package)
set(CPACK_PACKAGE_CONTACT "The Kelvarin developers <developers@kelvarin.org>")

# Appends TEXT to the variable OUT as lines of at most WIDTH characters, the first starting with
# FIRST and the others with REST.
function(_kelvarin_wrap out text width first rest)
    string(REGEX REPLACE "[ \t\r\n]+" ";" words "${text}")
    set(wrapped "${${out}}")
    set(line "${first}")
    set(empty TRUE)
    foreach(word IN LISTS words)
        if(word STREQUAL "")
            continue()
        endif()
        string(LENGTH "${line} ${word}" length)
        if(empty)
            string(APPEND line "${word}")
        elseif(length GREATER width)
            string(APPEND wrapped "${line}\n")
            set(line "${rest}${word}")
        else()
            string(APPEND line " ${word}")
        endif()
        set(empty FALSE)
    endforeach()
    string(APPEND wrapped "${line}\n")
    set(${out} "${wrapped}" PARENT_SCOPE)
endfunction()

# Debian keeps a native package's history in changelog.gz, in its own format: one entry for
# this release, one item per paragraph or list item of its notes.
execute_process(COMMAND date -u -R -d "${KELVARIN_RELEASE_DATE} 00:00:00"
                OUTPUT_VARIABLE _kelvarin_release_time OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
set(_kelvarin_changelog "kelvarin (${PROJECT_VERSION}) unstable; urgency=medium\n\n")
string(REGEX MATCHALL "<(p|li)>[^<]*</(p|li)>" _kelvarin_items "${_kelvarin_release_notes}")
foreach(item IN LISTS _kelvarin_items)
    string(REGEX REPLACE "</?(p|li)>" "" item "${item}")
    _kelvarin_wrap(_kelvarin_changelog "${item}" 80 "  * " "    ")
endforeach()
string(APPEND _kelvarin_changelog "\n -- ${CPACK_PACKAGE_CONTACT}  ${_kelvarin_release_time}\n")
file(WRITE ${_kelvarin_generated}/changelog "${_kelvarin_changelog}")

configure_file(${PROJECT_SOURCE_DIR}/data/kelvarin.1.in ${_kelvarin_generated}/kelvarin.1 @ONLY)

# Debian wants both compressed the same way on every build: best compression, no name or time.
foreach(name IN ITEMS changelog kelvarin.1)
    execute_process(COMMAND gzip -9 -n -f -k ${_kelvarin_generated}/${name}
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()

install(FILES ${_kelvarin_generated}/kelvarin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian looks for a package's copyright and changelog under its own name, not the project's.
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${_kelvarin_generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvarin)

# Lintian's notes that do not hold for this package, each with its reason.
install(FILES ${PROJECT_SOURCE_DIR}/data/kelvarin.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kelvarin)
# A stripped program keeps the compiler's .comment section unless it is asked to drop it, as
# Debian's own packaging does.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kelvarin\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvarin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kelvarin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the gym-leader teams of a Nintendo DS game image")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvarin opens one Pokémon game image (an .nds file) and shows the level and
species of every team member of seven gym leaders as drop-down lists. Change
them and press Save: exactly those 46 two-byte fields are written back in
place, and no other byte of the file changes.

Kelvarin never creates, extends or truncates a file. It refuses a file it
cannot use (missing, a folder or device, too short, or holding values no list
can show) and says why. It reports a save as done only once the data is on the
disk, and names every field that was not written when something goes wrong.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kelvarin.org/)
# The dependencies are the packages of the libraries the stripped binary links to.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
