# Install rules and the Debian package (CPack): the program and the two command-line companions,
# the desktop entry, the icon in the hicolor theme, the AppStream metainfo, the manual pages and
# the package's copyright file (GPL-3.0-or-later).
#   cmake --install BUILD --prefix /usr          installs the tree
#   cpack --config BUILD/CPackConfig.cmake       makes welarik_<version>_amd64.deb
include(GNUInstallDirs)

install(TARGETS welarik welarik-dbf welarik-avi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/data/${WELARIK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/data/${WELARIK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${WELARIK_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${WELARIK_ICON_SIZES})
    install(FILES ${WELARIK_ICON_PNG_DIR}/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME welarik.png)
endforeach()
install(FILES ${WELARIK_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md docs/screenshot.png ${CMAKE_BINARY_DIR}/data/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/welarik)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME welarik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Welarik")
set(CPACK_PACKAGE_CONTACT "Welarik developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalogue of a film collection kept on CDs")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Welarik keeps titles, genres, people, the technical data of each video file and the \
friends to whom CDs are lent in dBase tables (.DBF, .DBT, .MDX) that other dBase tools keep \
reading. It comes with welarik-dbf, which inspects, checks and repairs the tables, and \
welarik-avi, which reads the technical data of an AVI file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found by shlibdeps from the executables; the window also needs a platform plugin, which no
# executable links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
