# Knob table window and printing, listings, help window, about box.
configure_file(${CMAKE_CURRENT_LIST_DIR}/about_version.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/about_version.cpp @ONLY)
list(APPEND KESTROW_UI_SOURCES
    knob_table_layout.cpp
    description_form.cpp
    display_form.cpp
    info_form.cpp
    about_form.cpp
    ${CMAKE_CURRENT_BINARY_DIR}/about_version.cpp
)
