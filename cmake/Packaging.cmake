# Installation and the Debian package.
#
# The program finds its skin and hand cursor in its own folder, so it lives with
# them in a private folder and a link in bin starts it:
#   <prefix>/lib/scrivane/scrivane, HAND-M.CUR, x/o.cjs
#   <prefix>/bin/scrivane -> ../lib/scrivane/scrivane

set(SCRIVANE_INSTALL_PROGRAM_DIR lib/scrivane)

install(TARGETS scrivane RUNTIME DESTINATION ${SCRIVANE_INSTALL_PROGRAM_DIR})
install(FILES ${SCRIVANE_LOOK_CURSOR} DESTINATION ${SCRIVANE_INSTALL_PROGRAM_DIR})
install(FILES ${SCRIVANE_LOOK_SKIN} DESTINATION ${SCRIVANE_INSTALL_PROGRAM_DIR}/x)

# Relative, so the link holds for whatever prefix the installation is given.
file(RELATIVE_PATH scrivane_link_target /prefix/${CMAKE_INSTALL_BINDIR}
     /prefix/${SCRIVANE_INSTALL_PROGRAM_DIR}/scrivane)
set(scrivane_link ${CMAKE_BINARY_DIR}/install-link/scrivane)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-link)
file(CREATE_LINK ${scrivane_link_target} ${scrivane_link} SYMBOLIC)
install(FILES ${scrivane_link} DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${SCRIVANE_LOOK_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS SCRIVANE_LOOK_HICOLOR_SIZES)
    install(FILES ${SCRIVANE_LOOK_HICOLOR_DIR}/${size}x${size}/apps/scrivane.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${SCRIVANE_LOOK_SCALABLE_ICON}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scrivane)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_CONTACT "Tarnwick Support <support@tarnwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "business memos as Word documents")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Scrivane turns a business memo's details (company, To, CC, From, Re, message\n\
and a date) into a finished Word 97-2003 document in one of five styles,\n\
shows it as a picture to zoom and pan, and saves a copy where you ask.\n\
It drives LibreOffice Writer to write the documents.")
# The libraries the program links come from dpkg-shlibdeps; what it starts or
# loads at run time is named here: Writer for the documents, Poppler to draw
# them, Qt's GUI library for its X11 plugin and .ico/.cur reader, and the
# fonts the memos and windows are set in: Liberation (Arial-compatible), Carlito and
# Caladea (Calibri- and Cambria-compatible).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-writer-nogui | libreoffice-writer, libpoppler-qt6-3, libqt6gui6 (>= 6.4), fonts-liberation2, fonts-crosextra-carlito, fonts-crosextra-caladea")
include(CPack)
