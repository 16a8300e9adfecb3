# Main window, preset tree, device settings dialog, start-up and close.
foreach(_main_test main_startup_test main_form_test main_config_test main_device_test)
    if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${_main_test}.cpp)
        kestrow_qt_test(${_main_test} ${_main_test}.cpp main_test_support.h)
        # Dump files go through the driver library built beside the tests.
        add_dependencies(${_main_test} mididrv)
        if(TARGET kestrow-data)
            add_dependencies(${_main_test} kestrow-data)
        endif()
    endif()
endforeach()
