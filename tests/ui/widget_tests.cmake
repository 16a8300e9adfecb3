# Knob table, device picture, pickers; all three share the editing rig.
foreach(_widget_test widget_knob_table_test widget_picture_test widget_pickers_test)
    kestrow_qt_test(${_widget_test} ${_widget_test}.cpp widget_fake_host.h)
endforeach()
