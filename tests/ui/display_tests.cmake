# Knob table window and printing, listings, help window, about box, install.
kestrow_qt_test(display_knob_table_test display_knob_table_test.cpp)
kestrow_qt_test(display_listing_test display_listing_test.cpp)
target_compile_definitions(display_listing_test PRIVATE
    KESTROW_EXPECTED_VERSION="${PROJECT_VERSION}")

# cmake --install into a temporary prefix, then the installed programs run.
string(REPLACE ";" "," _kestrow_programs "${KESTROW_INSTALLED_PROGRAMS}")
add_test(NAME display_install_test
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/display_install_test.sh
            ${CMAKE_BINARY_DIR} "${_kestrow_programs}" ${KESTROW_INSTALLED_DRIVER}
            ${CMAKE_INSTALL_BINDIR} ${KESTROW_INSTALL_PROGRAMDIR} ${CMAKE_INSTALL_DATADIR})
set_tests_properties(display_install_test PROPERTIES TIMEOUT 300)
