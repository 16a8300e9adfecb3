# cmake --install: the programs, the driver library they load at run time,
# and the desktop integration (menu entry, icon, AppStream metainfo).
# Included from the root after every layer, so the targets exist; a program
# that is not built yet is simply skipped.
#
#   bin/kestrow-editor, bin/kestrow-cli, bin/zembra-sim
#   lib/kestrow-editor/libmididrv.so     private to the programs
#   share/kestrow-editor/                data files (installed by data/)
#   share/applications, share/icons/hicolor, share/metainfo

set(KESTROW_APP_ID org.kestrow.KestrowEditor)
set(KESTROW_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/kestrow-editor)

# The toolkit opens libmididrv.so beside the program first, then through the
# normal library search, which honours the program's RUNPATH. A relative
# RUNPATH keeps the install relocatable to any prefix.
file(RELATIVE_PATH _kestrow_lib_from_bin
    /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${KESTROW_PRIVATE_LIBDIR})

set(KESTROW_INSTALLED_PROGRAMS)
foreach(program kestrow-editor kestrow-cli zembra-sim)
    if(TARGET ${program})
        set_property(TARGET ${program} APPEND PROPERTY
            INSTALL_RPATH "$ORIGIN/${_kestrow_lib_from_bin}")
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        list(APPEND KESTROW_INSTALLED_PROGRAMS ${program})
    endif()
endforeach()

set(KESTROW_INSTALLED_DRIVER OFF)
if(TARGET mididrv)
    install(TARGETS mididrv LIBRARY DESTINATION ${KESTROW_PRIVATE_LIBDIR} NAMELINK_SKIP)
    set(KESTROW_INSTALLED_DRIVER ON)
endif()

set(_kestrow_desktop ${CMAKE_CURRENT_LIST_DIR}/../data/desktop)
configure_file(${_kestrow_desktop}/${KESTROW_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/data/${KESTROW_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_kestrow_desktop}/${KESTROW_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_kestrow_desktop}/${KESTROW_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_kestrow_desktop}/${KESTROW_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_BINARY_DIR}/data/${KESTROW_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
