# Run by CPack once it has made the Windows ZIP (CPACK_POST_BUILD_SCRIPTS): writes the ZIP again
# with its entries in name order. CPack adds them in the order the file system lists the staged
# folder, which differs between file systems, so two builds of the same commit could differ in
# order alone. Times and owners stay as CPack has them: both come from SOURCE_DATE_EPOCH, set
# for this CPack run by the project's configuration file (cmake/Packaging.cmake).
get_filename_component(staged_parent ${CPACK_TEMPORARY_DIRECTORY} DIRECTORY)
get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} NAME)
# Files only: a folder named in the list would bring in its contents again, in the file
# system's order; unpacking makes the folders from the files' paths.
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE ${staged_parent}
     ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT entries)
list(JOIN entries "\n" listing)
file(WRITE ${staged_parent}/${top}.entries "${listing}\n")
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip
                            --files-from=${staged_parent}/${top}.entries
                    WORKING_DIRECTORY ${staged_parent} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
