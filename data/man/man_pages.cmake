# Manual pages, installed gzipped into man1 (included from cmake/install.cmake).
# They name the installed data and program folders, so they are filled in at
# install time with the prefix of that install (cmake --install --prefix, or
# /usr in the Debian package), straight into the destination: two installs
# from one build tree at once (a test and cpack) share no file.
find_program(KESTROW_GZIP gzip REQUIRED)
set(_kestrow_man_pages kestrow-editor kestrow-cli zembra-sim)
install(CODE "
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    set(KESTROW_MAN_DATADIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/kestrow-editor\")
    set(KESTROW_MAN_PROGRAMDIR \"\${CMAKE_INSTALL_PREFIX}/${KESTROW_INSTALL_PROGRAMDIR}\")
    set(_man1 \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\")
    foreach(_page ${_kestrow_man_pages})
        message(STATUS \"Installing: \${_man1}/\${_page}.1.gz\")
        configure_file(\"${CMAKE_CURRENT_LIST_DIR}/\${_page}.1.in\" \"\${_man1}/\${_page}.1\" @ONLY
            FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
        # -n: no name or time stamp inside, so the same page gives the same bytes.
        execute_process(COMMAND \"${KESTROW_GZIP}\" -9nf \"\${_man1}/\${_page}.1\"
                        RESULT_VARIABLE _status)
        if(NOT _status EQUAL 0)
            message(FATAL_ERROR \"gzip of \${_man1}/\${_page}.1 failed\")
        endif()
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_man1}/\${_page}.1.gz\")
    endforeach()")
