# Knob table, device picture, pickers.
kestrow_qt_test(widget_knob_table_test widget_knob_table_test.cpp widget_fake_host.h)
kestrow_qt_test(widget_picture_test widget_picture_test.cpp)
kestrow_qt_test(widget_pickers_test widget_pickers_test.cpp)
