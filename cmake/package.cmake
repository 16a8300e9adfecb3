# cpack: a Debian package of what cmake --install puts under /usr
# (scripts/package builds it). The run-time dependencies come from Debian's
# own packages: dpkg-shlibdeps reads them off the programs and the driver
# library; nothing is bundled.

set(KESTROW_PACKAGE_MAINTAINER "Kestrow Editor developers <kestrow-editor@example.org>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrow-editor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor and librarian for zembra MIDI controllers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Kestrow Editor edits the 128 presets of the zembraControl, zembraFader and
zembraDial MIDI controllers: which MIDI event each of the 16 knobs sends.
It sends presets to the device as paced SysEx and reads them back, keeps
them in standard MIDI files with names and descriptions, and shows and
prints knob tables. A built-in emulated device stands in for the hardware.
.
The package holds the editor, kestrow-cli for preset files on the command
line, and zembra-sim, an emulated device on JACK or ALSA MIDI ports.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTROW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt, not linked: without a platform plugin no window opens; the
# Wayland one lets the editor run natively on GNOME's and Plasma's sessions.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland")
# The knob tables and listings are laid out in Liberation fonts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2 | fonts-liberation")
# JACK users need a server: on a PipeWire desktop its JACK support (jackd2
# would fight PipeWire for the sound card), elsewhere jackd2. ALSA's tools
# help to see and wire USB devices by hand.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pipewire-jack | jackd2, alsa-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian's copyright file and changelog belong to the package only. A native
# package: its changelog is changelog.gz, compressed as the man pages are.
set(KESTROW_PACKAGE_DOC_DIR ${CMAKE_CURRENT_LIST_DIR}/../data/package)
configure_file(${KESTROW_PACKAGE_DOC_DIR}/changelog ${CMAKE_BINARY_DIR}/data/package/changelog @ONLY)
execute_process(COMMAND ${KESTROW_GZIP} -9nf ${CMAKE_BINARY_DIR}/data/package/changelog
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/package_docs.cmake.in
               ${CMAKE_BINARY_DIR}/data/package/package_docs.cmake @ONLY)
set(CPACK_INSTALL_SCRIPTS ${CMAKE_BINARY_DIR}/data/package/package_docs.cmake)

include(CPack)
