# Headers are included with their folder ("protocol/dump_frame.h"), and a
# target sees only the folders of what it links: each folder is published
# through a directory of its own in the build tree that holds just a link to
# it, so an include that points up a layer fails to compile.
function(kestrow_public_headers target)
    file(RELATIVE_PATH _folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(_root ${PROJECT_BINARY_DIR}/include/${_folder})
    if(NOT EXISTS ${_root}/${_folder})
        get_filename_component(_parent ${_root}/${_folder} DIRECTORY)
        file(MAKE_DIRECTORY ${_parent})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${_root}/${_folder} SYMBOLIC)
    endif()
    get_target_property(_type ${target} TYPE)
    if(_type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${_root})
    else()
        target_include_directories(${target} PUBLIC ${_root})
    endif()
endfunction()
