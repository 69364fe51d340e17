# The portable Windows package: `cmake --build --preset windows --target package` makes
# kelvarin-<version>-windows-x64.zip, whose one folder holds kelvarin.exe and exactly the DLLs
# and Qt plugins it loads, so that it runs wherever it is unpacked with nothing installed.
if(NOT TARGET kelvarin)
    return()
endif()

# Qt's imported targets are seen only in the folders that look for Qt.
find_package(Qt6 6.8 REQUIRED COMPONENTS Widgets)

install(TARGETS kelvarin RUNTIME DESTINATION .)
# Qt6Core, Qt6Gui and Qt6Widgets: the imported DLLs the program links against.
install(FILES $<TARGET_RUNTIME_DLLS:kelvarin> DESTINATION .)

# Qt looks for its plugins in folders beside the program: the Windows platform (without it no
# window can open) and the native styles of current Windows, from which Qt picks "windows11" on
# Windows 11 and "windowsvista" elsewhere. Without the styles the program still starts, in the
# plain look of Windows 95, so their absence has to stop the build rather than pass unnoticed.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
if(NOT TARGET Qt6::QModernWindowsStylePlugin)
    message(FATAL_ERROR "This Qt has no modern Windows styles plugin (Qt6::QModernWindowsStylePlugin)")
endif()
install(FILES $<TARGET_FILE:Qt6::QModernWindowsStylePlugin> DESTINATION styles)

# The C++ runtime of the compiler that built the program and Qt.
set(KELVARIN_RUNTIME_DLLS)
foreach(dll IN ITEMS libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        # MSYS2 keeps them beside the compiler instead.
        get_filename_component(compiler_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
        set(found ${compiler_dir}/${dll})
    endif()
    if(NOT EXISTS "${found}")
        message(FATAL_ERROR "The compiler does not know where ${dll} is (got \"${found}\")")
    endif()
    list(APPEND KELVARIN_RUNTIME_DLLS ${found})
endforeach()
install(FILES ${KELVARIN_RUNTIME_DLLS} DESTINATION .)
# The compiler's copies carry their symbols (libstdc++ alone would be 23 MB); the package needs
# none of them.
if(CMAKE_STRIP)
    foreach(dll IN LISTS KELVARIN_RUNTIME_DLLS)
        get_filename_component(name ${dll} NAME)
        install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\")")
    endforeach()
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-readme.txt.in
               ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kelvarin)
set(CPACK_PACKAGE_VENDOR Kelvarin)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for the gym-leader teams of a Nintendo DS game image")
set(CPACK_PACKAGE_FILE_NAME kelvarin-${PROJECT_VERSION}-windows-x64)
# Where the package target leaves it, for its checks (tests/windows).
set(KELVARIN_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}.zip)
set(CPACK_STRIP_FILES ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/windows-zip-order.cmake)
include(CPack)
