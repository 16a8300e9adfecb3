# Main window, preset tree, device settings dialog, start-up and close.
foreach(_main_test main_startup_test main_form_test main_config_test main_device_test)
    kestrow_qt_test(${_main_test} ${_main_test}.cpp main_test_support.h)
    # Dump files go through the driver library built beside the tests; the
    # factory set is read from beside them.
    add_dependencies(${_main_test} mididrv kestrow-data)
endforeach()
