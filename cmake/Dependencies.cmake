# Libraries cross-built by tools/setup.sh into .deps/.

set(_jpeg "${QUENDRIX_DEPS}/libjpeg")
if(NOT EXISTS "${_jpeg}/lib/libjpeg.a")
    message(FATAL_ERROR "libjpeg is missing under ${_jpeg}: run tools/setup.sh")
endif()
add_library(jpeg STATIC IMPORTED GLOBAL)
set_target_properties(jpeg PROPERTIES
    IMPORTED_LOCATION "${_jpeg}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_jpeg}/include")

# zlib: the program inflates the converter it carries compressed.
set(_zlib "${QUENDRIX_DEPS}/zlib")
if(NOT EXISTS "${_zlib}/lib/libz.a")
    message(FATAL_ERROR "zlib is missing under ${_zlib}: run tools/setup.sh")
endif()
add_library(zlib STATIC IMPORTED GLOBAL)
set_target_properties(zlib PROPERTIES
    IMPORTED_LOCATION "${_zlib}/lib/libz.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_zlib}/include")

set(_gtest "${QUENDRIX_DEPS}/googletest")
add_library(gtest STATIC IMPORTED GLOBAL)
set_target_properties(gtest PROPERTIES
    IMPORTED_LOCATION "${_gtest}/lib/libgtest.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_gtest}/include")
add_library(gtest_main STATIC IMPORTED GLOBAL)
set_target_properties(gtest_main PROPERTIES
    IMPORTED_LOCATION "${_gtest}/lib/libgtest_main.a"
    INTERFACE_LINK_LIBRARIES gtest)
add_library(gmock STATIC IMPORTED GLOBAL)
set_target_properties(gmock PROPERTIES
    IMPORTED_LOCATION "${_gtest}/lib/libgmock.a"
    INTERFACE_LINK_LIBRARIES gtest)

# nlohmann/json is header-only; setup links its folder alone into .deps/include
# so that no other native header can leak into the cross build.
add_library(nlohmann_json INTERFACE IMPORTED GLOBAL)
set_target_properties(nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${QUENDRIX_DEPS}/include")

# The converter tool, cross-built by tools/build_converter.sh: one static
# executable, no DLL beside it.
set(QUENDRIX_FFMPEG_EXE "${QUENDRIX_DEPS}/converter/ffmpeg.exe")
# The other kind's converter of the same release, built beside it: the
# program accepts it where it runs.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(QUENDRIX_OTHER_FFMPEG_EXE "${CMAKE_SOURCE_DIR}/.deps/converter/ffmpeg.exe")
else()
    set(QUENDRIX_OTHER_FFMPEG_EXE "${CMAKE_SOURCE_DIR}/.deps/x86_64/converter/ffmpeg.exe")
endif()
if(NOT EXISTS "${QUENDRIX_FFMPEG_EXE}")
    message(FATAL_ERROR "the converter is missing at ${QUENDRIX_FFMPEG_EXE}: run tools/setup.sh")
endif()
