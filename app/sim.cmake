# zembra-sim: the emulated zembra device on JACK or ALSA ports of its own.
add_executable(zembra-sim zembra_sim.cpp)
target_link_libraries(zembra-sim PRIVATE kestrow::sim PkgConfig::RTMIDI Threads::Threads)
set_target_properties(zembra-sim PROPERTIES AUTOMOC OFF)
target_compile_definitions(zembra-sim PRIVATE KESTROW_VERSION="${PROJECT_VERSION}")
pkg_check_modules(ZEMBRA_SIM_JACK IMPORTED_TARGET jack)
if(ZEMBRA_SIM_JACK_FOUND)
    # To ask, quietly, whether a JACK server runs before RtMidi tries, and
    # for the driver's own JACK input and output.
    target_compile_definitions(zembra-sim PRIVATE KESTROW_HAVE_JACK)
    target_link_libraries(zembra-sim PRIVATE PkgConfig::ZEMBRA_SIM_JACK kestrow::jack_midi)
endif()
kestrow_warnings(zembra-sim)
