# Knob table window and printing, listings, help window, about box, install.
kestrow_qt_test(display_knob_table_test display_knob_table_test.cpp)
kestrow_qt_test(display_listing_test display_listing_test.cpp)
target_compile_definitions(display_listing_test PRIVATE
    KESTROW_EXPECTED_VERSION="${PROJECT_VERSION}")
