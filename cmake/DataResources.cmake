# quendrix_data_resources(<target> <rc file> FILES <file>... [SETS <folder>...] [EXTRA <rc lines>])
# Makes an object library holding each file as an RCDATA resource named as
# the toolkit looks it up: the file name in upper case, every character
# other than a letter or digit turned into "_". The files of each folder
# named in SETS go in under "<folder name>/<file name>" (the skin sets for
# other scales: skin150/main_logo.bmp).
function(quendrix_data_resources target rc_file)
    cmake_parse_arguments(R "" "EXTRA" "FILES;SETS" ${ARGN})
    set(_rc "${R_EXTRA}")
    set(_all ${R_FILES})
    foreach(_set IN LISTS R_SETS)
        get_filename_component(_setname "${_set}" NAME)
        file(GLOB _set_files CONFIGURE_DEPENDS "${_set}/*.bmp" "${_set}/*.jpg")
        foreach(_file IN LISTS _set_files)
            get_filename_component(_name "${_file}" NAME)
            string(TOUPPER "${_setname}/${_name}" _id)
            string(REGEX REPLACE "[^A-Z0-9]" "_" _id "${_id}")
            string(APPEND _rc "${_id} RCDATA \"${_file}\"\n")
        endforeach()
        list(APPEND _all ${_set_files})
    endforeach()
    foreach(_file IN LISTS R_FILES)
        get_filename_component(_name "${_file}" NAME)
        string(TOUPPER "${_name}" _id)
        string(REGEX REPLACE "[^A-Z0-9]" "_" _id "${_id}")
        string(APPEND _rc "${_id} RCDATA \"${_file}\"\n")
    endforeach()
    file(GENERATE OUTPUT "${rc_file}" CONTENT "${_rc}")
    set_source_files_properties("${rc_file}" PROPERTIES OBJECT_DEPENDS "${_all}")
    add_library(${target} OBJECT "${rc_file}")
endfunction()

# quendrix_tool_payload(<target> <converter> [OTHER <other kind's converter>])
# Makes an object library holding the converter as resource 1, compressed
# with zlib (the program inflates it when it installs it), and, as
# resource "TOOLS", the list of the release's converters (their sizes and
# digests): this one, of this build's kind, and the other kind's where it is
# built beside it. The program installs the converter over any tool that is
# on neither list.
function(quendrix_tool_payload target converter)
    cmake_parse_arguments(P "" "OTHER" "" ${ARGN})
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        set(_kinds x64 x86)
    else()
        set(_kinds x86 x64)
    endif()
    list(GET _kinds 0 _own)
    list(GET _kinds 1 _other)
    set(_tools "${_own}=${converter}")
    set(_depends "${converter}")
    if(P_OTHER)
        list(APPEND _tools "${_other}=${P_OTHER}")
        list(APPEND _depends "${P_OTHER}")
    endif()
    set(_list "${CMAKE_CURRENT_BINARY_DIR}/${target}_tools.txt")
    add_custom_command(OUTPUT "${_list}"
        COMMAND /usr/bin/python3 "${CMAKE_SOURCE_DIR}/tools/tool_fingerprints.py" "${_list}" ${_tools}
        DEPENDS ${_depends} "${CMAKE_SOURCE_DIR}/tools/tool_fingerprints.py"
        COMMENT "Fingerprints of the converters for ${target}" VERBATIM)
    set(_packed "${CMAKE_CURRENT_BINARY_DIR}/${target}_tool.z")
    add_custom_command(OUTPUT "${_packed}"
        COMMAND /usr/bin/python3 -c
            "import sys, zlib; open(sys.argv[2], 'wb').write(zlib.compress(open(sys.argv[1], 'rb').read(), 9))"
            "${converter}" "${_packed}"
        DEPENDS "${converter}"
        COMMENT "Compressing the converter for ${target}" VERBATIM)
    set(_rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
    file(GENERATE OUTPUT "${_rc}" CONTENT "1 RCDATA \"${_packed}\"\nTOOLS RCDATA \"${_list}\"\n")
    set_source_files_properties("${_rc}" PROPERTIES OBJECT_DEPENDS "${_packed};${_list}")
    add_library(${target} OBJECT "${_rc}")
endfunction()
