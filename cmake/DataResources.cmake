# quendrix_data_resources(<target> <rc file> FILES <file>... [EXTRA <rc lines>])
# Makes an object library holding each file as an RCDATA resource named as
# the toolkit looks it up: the file name in upper case, every character
# other than a letter or digit turned into "_".
function(quendrix_data_resources target rc_file)
    cmake_parse_arguments(R "" "EXTRA" "FILES" ${ARGN})
    set(_rc "${R_EXTRA}")
    foreach(_file IN LISTS R_FILES)
        get_filename_component(_name "${_file}" NAME)
        string(TOUPPER "${_name}" _id)
        string(REGEX REPLACE "[^A-Z0-9]" "_" _id "${_id}")
        string(APPEND _rc "${_id} RCDATA \"${_file}\"\n")
    endforeach()
    file(GENERATE OUTPUT "${rc_file}" CONTENT "${_rc}")
    set_source_files_properties("${rc_file}" PROPERTIES OBJECT_DEPENDS "${R_FILES}")
    add_library(${target} OBJECT "${rc_file}")
endfunction()
