# Main window, preset tree, device settings dialog and the window set of a run.
list(APPEND KESTROW_UI_SOURCES
    main_form.cpp
    preset_tree.cpp
    switch_display.cpp
    config_form.cpp
    editor_windows.cpp
    qt_midi_dispatcher.cpp
)
