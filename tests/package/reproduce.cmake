# Builds the Debian package a second time, in another folder (BUILD_DIR, made afresh) and so at
# another time, and compares it byte for byte with the first one (DEB). Only the editor and what
# the package holds are built: no tests, no benchmarks, no compiler cache. On a difference it
# names each differing member of the package: the .deb's own members, and within the control
# and data archives every entry whose contents or attributes differ.
#   cmake -D DEB=... -D SOURCE_DIR=... -D BUILD_DIR=... -D GENERATOR=... -D BUILD_TYPE=...
#         -D CXX=... -P reproduce.cmake

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${ARGN}: failed (${status})")
    endif()
endfunction()

file(REMOVE_RECURSE ${BUILD_DIR})
# A compiler cache would hand back the first build's objects: this build compiles every file.
unset(ENV{CMAKE_CXX_COMPILER_LAUNCHER})
unset(ENV{CMAKE_C_COMPILER_LAUNCHER})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -G ${GENERATOR}
    -D CMAKE_BUILD_TYPE=${BUILD_TYPE} -D CMAKE_CXX_COMPILER=${CXX}
    -D KELVARIN_WARNINGS_AS_ERRORS=${KELVARIN_WARNINGS_AS_ERRORS}
    -D KELVARIN_HARDENING=${KELVARIN_HARDENING}
    -D BUILD_TESTING=OFF -D KELVARIN_BUILD_BENCH=OFF)
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
run(${CMAKE_COMMAND} --build ${BUILD_DIR} --target package --parallel ${cores})

get_filename_component(name ${DEB} NAME)
set(second ${BUILD_DIR}/${name})
file(SHA256 ${DEB} first_sum)
file(SHA256 ${second} second_sum)
message("${first_sum}  ${DEB}")
message("${second_sum}  ${second}")
if(first_sum STREQUAL second_sum)
    file(REMOVE_RECURSE ${BUILD_DIR})
    message("the two builds gave the same bytes")
    return()
endif()

# Unpacks both packages side by side and names what differs.
set(work ${BUILD_DIR}/compare)
set(differing)
foreach(build IN ITEMS first second)
    file(MAKE_DIRECTORY ${work}/${build})
endforeach()
run(ar x ${DEB} WORKING_DIRECTORY ${work}/first)
run(ar x ${second} WORKING_DIRECTORY ${work}/second)
execute_process(COMMAND ar tv ${DEB} OUTPUT_VARIABLE first_members)
execute_process(COMMAND ar tv ${second} OUTPUT_VARIABLE second_members)
if(NOT first_members STREQUAL second_members)
    list(APPEND differing "the .deb's member list, order or times:\n${first_members}--\n${second_members}")
endif()
file(GLOB members RELATIVE ${work}/first ${work}/first/*)
foreach(member IN LISTS members)
    file(SHA256 ${work}/first/${member} a)
    file(SHA256 ${work}/second/${member} b)
    if(a STREQUAL b)
        continue()
    endif()
    if(NOT member MATCHES "\\.tar")
        list(APPEND differing "${member}")
        continue()
    endif()
    # Inside an archive: the listing (names, order, modes, owners, sizes, times), then each
    # file's bytes.
    foreach(build IN ITEMS first second)
        execute_process(COMMAND tar -tvf ${work}/${build}/${member} --full-time
                        OUTPUT_VARIABLE ${build}_listing)
        file(MAKE_DIRECTORY ${work}/${build}/${member}.d)
        run(tar -xf ${work}/${build}/${member} -C ${work}/${build}/${member}.d)
    endforeach()
    string(REPLACE "\n" ";" first_lines "${first_listing}")
    string(REPLACE "\n" ";" second_lines "${second_listing}")
    set(only_first ${first_lines})
    list(REMOVE_ITEM only_first ${second_lines})
    foreach(line IN LISTS only_first)
        list(APPEND differing "${member}: entry differs: ${line}")
    endforeach()
    file(GLOB_RECURSE files RELATIVE ${work}/first/${member}.d ${work}/first/${member}.d/*)
    foreach(file IN LISTS files)
        file(SHA256 ${work}/first/${member}.d/${file} a)
        set(b "")
        if(EXISTS ${work}/second/${member}.d/${file})
            file(SHA256 ${work}/second/${member}.d/${file} b)
        endif()
        if(NOT a STREQUAL b)
            list(APPEND differing "${member}: ./${file}: contents differ")
        endif()
    endforeach()
    if(NOT differing MATCHES "${member}")
        list(APPEND differing "${member}: same entries, different archive bytes")
    endif()
endforeach()
list(JOIN differing "\n  " differing)
message(FATAL_ERROR "the two builds differ:\n  ${differing}\n"
        "(diffoscope ${DEB} ${second} shows the differences in full)")
