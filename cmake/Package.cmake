# The Debian package, made by `cpack` in the build folder: quillmorph_<version>_<arch>.deb.
# Its dependencies on shared libraries are computed from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmorph)
set(CPACK_PACKAGE_VERSION ${QUILLMORPH_VERSION})
set(CPACK_PACKAGE_VENDOR "the Quillmorph developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn pictures into BBC Micro screen dumps")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmorph turns an ordinary picture (a photograph, a drawing, a scan) into a BBC Micro \
screen dump: the exact bytes of the machine's screen memory in Mode 0, 1, 2, 4, 5 or 8, \
with the .inf sidecar that gives it its name, load address and length, and reads such \
dumps back. The package holds the desktop program quillmorph and the command-line \
converter quillmorph-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Quillmorph developers <maintainers@users.noreply.c-seed-9c7b3bc3.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUILLMORPH_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the binaries do not name but load at run time: Qt's display plugins (the desktop
# program opens a window through them) and the fonts the controls are sized for.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme")
include(CPack)
