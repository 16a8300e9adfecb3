# kestrow-editor: the editor window.
add_executable(kestrow-editor kestrow_editor.cpp)
target_link_libraries(kestrow-editor PRIVATE kestrow::ui kestrow::midi kestrow::storage)
target_compile_definitions(kestrow-editor PRIVATE
    KESTROW_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/kestrow-editor")
# The toolkit loads the driver library from beside the program; the factory
# set and Info.txt land there too.
add_dependencies(kestrow-editor mididrv kestrow-data)
kestrow_warnings(kestrow-editor)
