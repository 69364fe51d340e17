# One step of the Debian package's check, run by CTest (tests/package/CMakeLists.txt):
#   cmake -D STEP=<step> -D DEB=<package file> [-D ...] -P package_step.cmake
# A step that cannot run here (the package steps need root) prints "skipped: <why>", which
# CTest reports as a skip.

# Installing and removing need root; the steps that use the installed program need it installed.
if(STEP MATCHES "^(install|hardening|libraries|start|remove|install-again|purge)$")
    execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT uid STREQUAL "0")
        message("skipped: the package is installed and removed as root (run ctest as root)")
        return()
    endif()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/../support/run_step.cmake)

# The dpkg status of kelvarin ("install ok installed", ...), empty when dpkg does not know it.
function(package_status out)
    execute_process(COMMAND dpkg-query -W -f=\${Status} kelvarin
                    OUTPUT_VARIABLE status ERROR_QUIET)
    set(${out} "${status}" PARENT_SCOPE)
endfunction()

# The paths the package holds, without the leading "."; with KIND "files" only what is not a
# folder.
function(package_paths out kind)
    execute_process(COMMAND dpkg-deb -c ${DEB} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE "\n$" "" listing "${listing}")
    string(REPLACE "\n" ";" lines "${listing}")
    set(paths)
    foreach(line IN LISTS lines)
        if(kind STREQUAL "files" AND line MATCHES "^d")
            continue()
        endif()
        string(REGEX REPLACE "^.* \\./" "/" path "${line}")
        string(REGEX REPLACE "(.)/$" "\\1" path "${path}")
        if(NOT path STREQUAL "/")
            list(APPEND paths "${path}")
        endif()
    endforeach()
    set(${out} "${paths}" PARENT_SCOPE)
endfunction()

function(apt_get)
    set(ENV{DEBIAN_FRONTEND} noninteractive)
    run("apt-get ${ARGN}" apt-get -y -qq ${ARGN})
endfunction()

# After a purge dpkg must have forgotten the package, and none of its files, nor a folder that
# only it used, may be left.
function(expect_no_trace after)
    package_status(status)
    if(status AND NOT status MATCHES "not-installed")
        message(FATAL_ERROR "dpkg still knows kelvarin after ${after}: ${status}")
    endif()
    package_paths(paths all)
    file(GLOB left /var/lib/dpkg/info/kelvarin.*)
    foreach(path IN LISTS paths)
        if(NOT EXISTS "${path}" AND NOT IS_SYMLINK "${path}")
            continue()
        endif()
        if(IS_DIRECTORY "${path}")
            execute_process(COMMAND dpkg-query -S "${path}" RESULT_VARIABLE owned
                            OUTPUT_QUIET ERROR_QUIET)
            if(owned EQUAL 0)
                continue()
            endif()
        endif()
        list(APPEND left "${path}")
    endforeach()
    if(left)
        list(JOIN left " " left)
        message(FATAL_ERROR "left behind after ${after}: ${left}")
    endif()
    message("nothing of the package is left after ${after}")
endfunction()

function(install_package)
    package_status(status)
    if(status MATCHES "ok installed")
        message(FATAL_ERROR "kelvarin is installed already; remove it first (apt-get purge kelvarin)")
    endif()
    get_filename_component(deb "${DEB}" ABSOLUTE)
    apt_get(install "${deb}")
    package_status(status)
    if(NOT status STREQUAL "install ok installed")
        message(FATAL_ERROR "dpkg does not list kelvarin as installed: '${status}'")
    endif()
    run("apt-get check" apt-get check -qq)
    message("installed: ${deb}")
endfunction()

if(STEP STREQUAL "contents")
    # Exactly the expected files, no more and no fewer, and the control fields a user and apt see.
    file(STRINGS ${EXPECTED} expected)
    package_paths(found files)
    set(missing ${expected})
    list(REMOVE_ITEM missing ${found})
    set(extra ${found})
    list(REMOVE_ITEM extra ${expected})
    foreach(path IN LISTS missing)
        message(SEND_ERROR "the package does not contain ${path}")
    endforeach()
    foreach(path IN LISTS extra)
        message(SEND_ERROR "the package holds ${path}, which is not one of its files")
    endforeach()
    execute_process(COMMAND dpkg-deb -f ${DEB} OUTPUT_VARIABLE control COMMAND_ERROR_IS_FATAL ANY)
    message("${control}")
    # The desktop entry as installed: a file manager offers Kelvarin for .nds files and hands it
    # the file.
    execute_process(COMMAND dpkg-deb --fsys-tarfile ${DEB}
                    COMMAND tar -xOf - ./usr/share/applications/org.kelvarin.Kelvarin.desktop
                    OUTPUT_VARIABLE entry COMMAND_ERROR_IS_FATAL ANY)
    foreach(check IN ITEMS "control|Package: kelvarin" "control|Version: ${VERSION}"
                           "control|Maintainer: [^\n]+" "control|Section: [^\n]+"
                           "control|Depends: [^\n]*libqt6widgets6"
                           "control|Description: [^\n]+\n [^\n]+\n [^\n]+\n [^\n]+"
                           "entry|Exec=kelvarin %f\n"
                           "entry|MimeType=application/x-nintendo-ds-rom;\n")
        string(REGEX REPLACE "\\|.*" "" in "${check}")
        string(REGEX REPLACE "^[a-z]+\\|" "" field "${check}")
        if(NOT "${${in}}" MATCHES "(^|\n)${field}")
            message(SEND_ERROR "no line of the ${in} matches '${field}'")
        endif()
    endforeach()
    list(LENGTH found count)
    message("${count} files, as expected")

elseif(STEP STREQUAL "spelling")
    # Lintian's own word list over the program's texts; spellintian lists what it finds and
    # succeeds all the same.
    file(STRINGS ${TEXTS} texts)
    execute_process(COMMAND spellintian --picky ${texts} OUTPUT_VARIABLE found
                    COMMAND_ERROR_IS_FATAL ANY)
    if(found)
        message(FATAL_ERROR "misspelt words in the program's texts:\n${found}")
    endif()
    list(LENGTH texts count)
    message("${count} files, no misspelt word")

elseif(STEP STREQUAL "install")
    install_package()

elseif(STEP STREQUAL "hardening")
    # Control-flow protection needs every object of a program marked, the C library's start
    # files too; where the system's are not (Debian 12), no program built here can have it.
    set(options)
    execute_process(COMMAND ${CXX} -print-file-name=Scrt1.o OUTPUT_VARIABLE start_file
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND readelf -n ${start_file} OUTPUT_VARIABLE notes)
    if(NOT notes MATCHES "IBT")
        message("${start_file} has no IBT mark: control-flow protection is not asked for")
        list(APPEND options --nocfprotection)
    endif()
    run("hardening-check" hardening-check ${options} /usr/bin/kelvarin)

elseif(STEP STREQUAL "libraries")
    # Every library the program loads comes with the packages its dependencies name.
    execute_process(COMMAND ldd /usr/bin/kelvarin OUTPUT_VARIABLE libraries COMMAND_ERROR_IS_FATAL ANY)
    message("${libraries}")
    if(libraries MATCHES "not found")
        message(FATAL_ERROR "/usr/bin/kelvarin needs a library its dependencies do not bring")
    endif()

elseif(STEP STREQUAL "start")
    run("starting /usr/bin/kelvarin" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp"
        /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/start_and_close.py /usr/bin/kelvarin)

elseif(STEP STREQUAL "remove")
    apt_get(remove kelvarin)
    if(EXISTS /usr/bin/kelvarin)
        message(FATAL_ERROR "/usr/bin/kelvarin is still there after apt-get remove")
    endif()
    # With no configuration files, remove already makes dpkg forget the package, and apt-get
    # then has nothing to purge.
    package_status(status)
    if(status MATCHES "config-files")
        apt_get(purge kelvarin)
    endif()
    expect_no_trace("apt-get remove")

elseif(STEP STREQUAL "install-again")
    install_package()

elseif(STEP STREQUAL "purge")
    apt_get(purge kelvarin)
    expect_no_trace("apt-get purge")

else()
    message(FATAL_ERROR "unknown step '${STEP}'")
endif()
