# `make package`: the Debian package of what `cmake --install` gives, under
# /usr. Its dependencies come from the binaries themselves (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "The Tovrik developers")
set(CPACK_PACKAGE_CONTACT "The Tovrik developers <developers@tovrik.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure a Brenlock gateway card over a serial port")
set(CPACK_PACKAGE_DESCRIPTION
  "Tovrik configures a Brenlock telephony gateway card connected to a serial
(COM) port. The technician answers a few questions in one window and
presses one button; the tool writes the card's configuration through its
serial-interface library, libportlink, and shows the progress.

The package also holds tovrik-cli, which configures cards from a script or
a site profile, tovrik-ports, which shows and maps the COM ports,
and brenlock-sim, a virtual card on a pseudo-terminal, for learning and
trying the tool without a card.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# tovrik_1.2.0_amd64.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libportlink.so.1 lies in the tool's private folder, out of the linker's
# search path: no shlibs file and no ldconfig trigger.

include(CPack)
