# Test executables run under Wine, in a private prefix inside the build folder.
set(QUENDRIX_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
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
