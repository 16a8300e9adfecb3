# Knob table, device picture, pickers (helper list of ui/CMakeLists.txt).
list(APPEND KESTROW_UI_SOURCES
    screen_pointer.h screen_pointer.cpp
    picker_host.h
    knob_table_controller.h knob_table_controller.cpp
    knob_table.h knob_table.cpp
    knob_hit_areas.h knob_hit_areas.cpp
    picture_forms.h picture_forms.cpp
    device_picture.h device_picture.cpp
    drag_cursors.h drag_cursors.cpp
    pickers/grid_picker.h pickers/grid_picker.cpp
    pickers/controller_form.h pickers/controller_form.cpp
    pickers/events_form.h pickers/events_form.cpp
    pickers/values_form.h pickers/values_form.cpp
    pickers/parameter_form.h pickers/parameter_form.cpp
    pickers/factory_presets_form.h pickers/factory_presets_form.cpp
    pickers/long_piano_form.h pickers/long_piano_form.cpp
    pickers/name_edit_form.h pickers/name_edit_form.cpp
    pickers/picker_set.h pickers/picker_set.cpp
)
