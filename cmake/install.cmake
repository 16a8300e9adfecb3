# cmake --install: the programs, the driver library and print module they
# load at run time, and the desktop integration (menu entry, icon, AppStream metainfo).
# Included from the root after every layer, so the targets exist; a program
# that is not built yet is simply skipped.
#
#   libexec/kestrow-editor/kestrow-editor, kestrow-cli, libmididrv.so,
#                                        libkestrow-print.so
#   bin/kestrow-editor, bin/kestrow-cli  symbolic links to the above
#   bin/zembra-sim                       (needs no driver)
#   share/kestrow-editor/                data files (installed by data/)
#   share/applications, share/icons/hicolor, share/metainfo
#   share/man/man1                       manual pages (data/man/)
#
# The programs, the driver and the print module stay side by side as in the
# build tree: the toolkit and kestrow-cli look for libmididrv.so, the editor
# for libkestrow-print.so, beside the program's real path, which the links in
# bin/ lead to. ui/CMakeLists.txt derives the
# data directory relative to KESTROW_INSTALL_PROGRAMDIR; keep the two in step.

set(KESTROW_APP_ID org.kestrow.KestrowEditor)
set(KESTROW_INSTALL_PROGRAMDIR ${CMAKE_INSTALL_LIBEXECDIR}/kestrow-editor)

set(KESTROW_INSTALLED_PROGRAMS)
foreach(program kestrow-editor kestrow-cli)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${KESTROW_INSTALL_PROGRAMDIR})
        file(RELATIVE_PATH _kestrow_link
            /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${KESTROW_INSTALL_PROGRAMDIR}/${program})
        # CMAKE_INSTALL_PREFIX here is the one given at install time (--prefix).
        install(CODE "
            set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
            file(MAKE_DIRECTORY \"\${_bin}\")
            message(STATUS \"Installing: \${_bin}/${program} -> ${_kestrow_link}\")
            file(CREATE_LINK \"${_kestrow_link}\" \"\${_bin}/${program}\" SYMBOLIC)")
        list(APPEND KESTROW_INSTALLED_PROGRAMS ${program})
    endif()
endforeach()
if(TARGET zembra-sim)
    install(TARGETS zembra-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    list(APPEND KESTROW_INSTALLED_PROGRAMS zembra-sim)
endif()

set(KESTROW_INSTALLED_DRIVER OFF)
if(TARGET mididrv)
    install(TARGETS mididrv LIBRARY DESTINATION ${KESTROW_INSTALL_PROGRAMDIR} NAMELINK_SKIP)
    set(KESTROW_INSTALLED_DRIVER ON)
endif()
if(TARGET kestrow-print)
    install(TARGETS kestrow-print LIBRARY DESTINATION ${KESTROW_INSTALL_PROGRAMDIR})
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

include(${CMAKE_CURRENT_LIST_DIR}/../data/man/man_pages.cmake)
