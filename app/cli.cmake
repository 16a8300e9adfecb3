# kestrow-cli: preset files without the window, and the device over MIDI ports.
add_executable(kestrow-cli kestrow_cli.cpp cli_args.cpp cli_device.cpp cli_folder.cpp cli_library.cpp)
kestrow_public_headers(kestrow-cli)
# The port watch is the editor's; nothing else of the session is linked.
target_link_libraries(kestrow-cli PRIVATE kestrow::editor kestrow::storage kestrow::midi kestrow::midi_ports)
set_target_properties(kestrow-cli PROPERTIES AUTOMOC OFF)
target_compile_definitions(kestrow-cli PRIVATE KESTROW_VERSION="${PROJECT_VERSION}")
# The toolkit loads the driver library from beside the program.
add_dependencies(kestrow-cli mididrv)
kestrow_warnings(kestrow-cli)
