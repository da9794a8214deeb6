# Installation and the Debian package.
#
# The program finds its skin and hand cursor in its own folder, so it lives with
# them in a private folder and a link in bin starts it:
#   <prefix>/lib/scrivane/scrivane, HAND-M.CUR, x/o.cjs
#   <prefix>/bin/scrivane -> ../lib/scrivane/scrivane

set(SCRIVANE_INSTALL_PROGRAM_DIR lib/scrivane)

install(TARGETS scrivane RUNTIME DESTINATION ${SCRIVANE_INSTALL_PROGRAM_DIR})
# The run path keeps only the office's program folder, which the UNO link brings
# (doc/lintian-overrides says why lintian is told so): Qt's $ORIGIN entries would
# make the loader look for Qt beside the program first.
set_target_properties(scrivane PROPERTIES INSTALL_RPATH "")
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

# The memo service as systemd user units, for a session that would rather have it
# socket-activated ("systemctl --user enable --now scrivane.socket"); without them the
# first command starts it.
install(FILES ${PROJECT_SOURCE_DIR}/service/scrivane.socket
              ${PROJECT_SOURCE_DIR}/service/scrivane.service
        DESTINATION lib/systemd/user)

# The manual page, the changelog and the copyright, as Debian keeps them.
find_program(SCRIVANE_GZIP gzip REQUIRED)
file(STRINGS ${PROJECT_SOURCE_DIR}/doc/changelog scrivane_changelog_top LIMIT_COUNT 1)
if(NOT scrivane_changelog_top MATCHES "^scrivane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "doc/changelog has no entry for version ${PROJECT_VERSION} at its top")
endif()
set(scrivane_doc_dir ${CMAKE_BINARY_DIR}/doc)
configure_file(${PROJECT_SOURCE_DIR}/doc/scrivane.1.in ${scrivane_doc_dir}/scrivane.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/doc/changelog ${scrivane_doc_dir}/changelog COPYONLY)
# -n: no name or time stamp in the archive, so the package builds the same twice.
add_custom_command(
    OUTPUT ${scrivane_doc_dir}/scrivane.1.gz ${scrivane_doc_dir}/changelog.gz
    COMMAND ${SCRIVANE_GZIP} -9nkf scrivane.1 changelog
    DEPENDS ${scrivane_doc_dir}/scrivane.1 ${scrivane_doc_dir}/changelog
    WORKING_DIRECTORY ${scrivane_doc_dir}
    COMMENT "Compressing the manual page and the changelog"
    VERBATIM)
add_custom_target(scrivane_documents ALL
                  DEPENDS ${scrivane_doc_dir}/scrivane.1.gz ${scrivane_doc_dir}/changelog.gz)
install(FILES ${scrivane_doc_dir}/scrivane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${scrivane_doc_dir}/changelog.gz ${PROJECT_SOURCE_DIR}/doc/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/scrivane)
install(FILES ${PROJECT_SOURCE_DIR}/doc/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME scrivane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scrivane)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_CONTACT "Tarnwick Support <support@tarnwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "business memos as Word documents")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian has no office section: a program that writes documents from text, like
# pandoc or catdoc, is a text processing utility.
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Scrivane turns a business memo's details (company, To, CC, From, Re, message\n\
and a date) into a finished Word 97-2003 document in one of five styles,\n\
shows it as a picture to zoom and pan, and saves a copy where you ask.\n\
It drives LibreOffice Writer to write the documents.")
# The libraries the program links, Poppler and Qt's GUI library (with its X11
# plugin and .ico/.cur reader) among them, come from dpkg-shlibdeps; what it
# starts at run time is named here: Writer for the documents, and the fonts the
# memos and windows are set in: Liberation (Arial-compatible), Carlito and
# Caladea (Calibri- and Cambria-compatible).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-writer-nogui | libreoffice-writer, fonts-liberation2, fonts-crosextra-carlito, fonts-crosextra-caladea")
include(CPack)
