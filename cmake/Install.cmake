# What `cmake --install` puts where (GNUInstallDirs): the two programs, the converter's
# loader module and the metafile helper in the program's private library folder, and what a desktop needs to
# offer the program: the desktop entry, the icons, the metainfo, the manual pages and the
# converter's bash completion.
set(generated ${PROJECT_BINARY_DIR}/generated)

install(TARGETS quillmorph quillmorph-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quillmorph_qt_loader quillmorph_tiff_module LIBRARY DESTINATION ${QUILLMORPH_INSTALL_PRIVATEDIR})
install(TARGETS quillmorph-metafile-helper RUNTIME DESTINATION ${QUILLMORPH_INSTALL_PRIVATEDIR})

configure_file(resources/desktop/quillmorph.desktop.in ${generated}/${QUILLMORPH_APP_ID}.desktop @ONLY)
install(FILES ${generated}/${QUILLMORPH_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(resources/desktop/quillmorph.metainfo.xml.in ${generated}/${QUILLMORPH_APP_ID}.metainfo.xml @ONLY)
install(FILES ${generated}/${QUILLMORPH_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

foreach(size 16 22 24 32 48 64 128 256)
  install(FILES resources/icons/quillmorph-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${QUILLMORPH_APP_ID}.png)
endforeach()
install(FILES resources/icons/quillmorph.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${QUILLMORPH_APP_ID}.svg)

install(FILES resources/completion/quillmorph-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# Named after the package, not the CMake project, as Debian keeps documentation.
# The copyright file is the licence followed by the notices of code compiled in.
file(READ LICENSE licence_text)
file(READ resources/legal/third-party-notices.txt notices_text)
file(WRITE ${PROJECT_BINARY_DIR}/copyright "${licence_text}${notices_text}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE resources/legal/third-party-notices.txt)
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillmorph)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillmorph)

# Manual pages are written in scdoc and turned into troff, compressed as Debian keeps them.
find_program(SCDOC_EXECUTABLE scdoc)
if(SCDOC_EXECUTABLE)
  set(manual_pages)
  foreach(page quillmorph quillmorph-cli)
    configure_file(docs/man/${page}.1.scd.in ${generated}/${page}.1.scd @ONLY)
    add_custom_command(
      OUTPUT ${generated}/${page}.1.gz
      COMMAND sh -c [["$0" < "$1" | gzip -9n > "$2"]] ${SCDOC_EXECUTABLE} ${generated}/${page}.1.scd ${generated}/${page}.1.gz
      DEPENDS ${generated}/${page}.1.scd
      VERBATIM
      COMMENT "Writing the manual page ${page}(1)")
    list(APPEND manual_pages ${generated}/${page}.1.gz)
  endforeach()
  add_custom_target(quillmorph_manual_pages ALL DEPENDS ${manual_pages})
  install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "scdoc not found: the manual pages are neither built nor installed (tools/setup.sh installs it)")
endif()
