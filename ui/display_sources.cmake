# Knob table window and printing, listings, help window, about box.
# The data directory is given relative to the installed program (see
# cmake/install.cmake for the layout), so an install under any prefix
# (cmake --install --prefix) finds its files.
file(RELATIVE_PATH KESTROW_DATA_FROM_BIN
    /prefix/${CMAKE_INSTALL_LIBEXECDIR}/kestrow-editor
    /prefix/${CMAKE_INSTALL_DATADIR}/kestrow-editor)
configure_file(${CMAKE_CURRENT_LIST_DIR}/build_info.cpp.in
               ${CMAKE_CURRENT_BINARY_DIR}/build_info.cpp @ONLY)
list(APPEND KESTROW_UI_SOURCES
    knob_table_layout.cpp
    description_form.cpp
    display_form.cpp
    info_form.cpp
    about_form.cpp
    ${CMAKE_CURRENT_BINARY_DIR}/build_info.cpp
)
