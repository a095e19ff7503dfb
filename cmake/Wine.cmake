# Test executables run under Wine, in a private prefix inside the build folder:
# a 64-bit build with Wine's 64-bit loader in a 64-bit prefix, a 32-bit build
# with the 32-bit loader in a 32-bit prefix.
set(QUENDRIX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(QUENDRIX_WINE_LOADER /usr/lib/wine/wine64)
    set(QUENDRIX_WINEARCH win64)
else()
    set(QUENDRIX_WINE_LOADER /usr/lib/wine/wine)
    set(QUENDRIX_WINEARCH win32)
endif()
configure_file("${CMAKE_SOURCE_DIR}/tools/wine-run.sh.in" "${CMAKE_BINARY_DIR}/wine-run.sh"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
    @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run.sh")

# A Unix path as the Windows programs under Wine see it (Wine maps / to Z:),
# with its backslashes doubled for use inside a C string literal.
function(quendrix_wine_path out unix_path)
    string(REPLACE "/" "\\\\" _p "${unix_path}")
    set(${out} "Z:${_p}" PARENT_SCOPE)
endfunction()
