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
# The AppStream metainfo, so that software centres list Scrivane. Its release is the
# changelog's top entry: the version, the date of its trailer line, its items.
set(SCRIVANE_APPSTREAM_ID example.tarnwick.scrivane)
file(READ ${PROJECT_SOURCE_DIR}/doc/changelog scrivane_changelog)
string(FIND "${scrivane_changelog}" "\n -- " scrivane_trailer_at)
string(SUBSTRING "${scrivane_changelog}" 0 ${scrivane_trailer_at} scrivane_release)
string(SUBSTRING "${scrivane_changelog}" ${scrivane_trailer_at} -1 scrivane_trailer)
if(NOT scrivane_trailer MATCHES "^\n -- [^\n]*, ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "doc/changelog's top entry has no trailer line with a date")
endif()
set(scrivane_day ${CMAKE_MATCH_1})
set(scrivane_year ${CMAKE_MATCH_3})
set(scrivane_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND scrivane_months ${CMAKE_MATCH_2} scrivane_month)
if(scrivane_month EQUAL -1)
    message(FATAL_ERROR "doc/changelog's top entry is dated in an unknown month ${CMAKE_MATCH_2}")
endif()
math(EXPR scrivane_month "${scrivane_month} + 1" OUTPUT_FORMAT DECIMAL)
if(scrivane_month LESS 10)
    set(scrivane_month 0${scrivane_month})
endif()
set(SCRIVANE_RELEASE_DATE ${scrivane_year}-${scrivane_month}-${scrivane_day})
# One list item a changelog item, its continued lines joined; as XML text, and with
# its semicolons kept out of CMake's lists.
string(REPLACE "&" "&amp;" scrivane_release "${scrivane_release}")
string(REPLACE "<" "&lt;" scrivane_release "${scrivane_release}")
string(REPLACE ">" "&gt;" scrivane_release "${scrivane_release}")
string(REPLACE ";" "%SEMICOLON%" scrivane_release "${scrivane_release}")
string(REGEX REPLACE "\n    +" " " scrivane_release "${scrivane_release}")
string(REGEX MATCHALL "\n  \\* [^\n]*" scrivane_items "${scrivane_release}")
set(SCRIVANE_RELEASE_ITEMS)
foreach(item IN LISTS scrivane_items)
    string(REGEX REPLACE "^\n  \\* " "" item "${item}")
    string(APPEND SCRIVANE_RELEASE_ITEMS "          <li>${item}</li>\n")
endforeach()
string(STRIP "${SCRIVANE_RELEASE_ITEMS}" SCRIVANE_RELEASE_ITEMS)
string(REPLACE "%SEMICOLON%" ";" SCRIVANE_RELEASE_ITEMS "          ${SCRIVANE_RELEASE_ITEMS}")
set(scrivane_metainfo ${scrivane_doc_dir}/${SCRIVANE_APPSTREAM_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/doc/scrivane.metainfo.xml.in ${scrivane_metainfo} @ONLY)
install(FILES ${scrivane_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
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
# The libraries the program links, Poppler, libgsf, libzip, libxml2 and Qt's GUI
# library (with its X11 plugin and .ico/.cur reader) among them, come from
# dpkg-shlibdeps (tst_package checks they are declared); what it
# starts at run time is named here: Writer for the documents, and the fonts the
# memos and windows are set in: Liberation (Arial-compatible), Carlito and
# Caladea (Calibri- and Cambria-compatible).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-writer-nogui | libreoffice-writer, fonts-liberation2, fonts-crosextra-carlito, fonts-crosextra-caladea")
include(CPack)
