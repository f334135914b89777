# Install layout, the Debian package and the check of both.
#
#   bin/pakscope, bin/pakscope-cli
#   share/pakscope/Data/Protocols   protocol descriptions (found through ../share/pakscope)
#   share/pakscope/manual           the user manual with its figures
#   share/applications, share/icons/hicolor, share/mime/packages, share/metainfo
#   share/man/man1                  pakscope(1), pakscope-cli(1), made from --help
#   share/doc/pakscope              copyright, changelog.Debian.gz
include(GNUInstallDirs)

set(PAKSCOPE_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/pakscope)

install(TARGETS pakscope-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The descriptions are Windows-1251 text and are installed byte for byte.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Data/Protocols
        DESTINATION ${PAKSCOPE_SHARE_DIR}/Data
        FILES_MATCHING PATTERN "*.CFG" PATTERN "*.cfg")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/manual/ DESTINATION ${PAKSCOPE_SHARE_DIR}/manual)

# Manual pages, written at build time from the programs' own --help.
find_program(PAKSCOPE_GZIP gzip REQUIRED)
set(PAKSCOPE_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(PAKSCOPE_MAN_PAGES)
function(pakscope_man_page target summary)
  set(page ${PAKSCOPE_MAN_DIR}/${target}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PAKSCOPE_MAN_DIR}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${target}
            "-DSUMMARY=${summary}" -DVERSION=${PROJECT_VERSION} -DGZIP=${PAKSCOPE_GZIP}
            -DOUTPUT=${page} ${ARGN} -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS ${target} ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Writing the manual page ${target}(1)"
    VERBATIM)
  set(PAKSCOPE_MAN_PAGES ${PAKSCOPE_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()
pakscope_man_page(pakscope-cli "work with packet files, bit streams and protocols from the shell"
                  -DCOMMANDS=ON)
if(TARGET pakscope)
  pakscope_man_page(pakscope "view and analyse captured link-layer packets")
endif()
add_custom_target(pakscope_man_pages ALL DEPENDS ${PAKSCOPE_MAN_PAGES})
install(FILES ${PAKSCOPE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian's documentation files: the machine-readable copyright and the
# changelog, compressed as Debian policy wants it (no name or time in it).
set(PAKSCOPE_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(
  OUTPUT ${PAKSCOPE_CHANGELOG}
  COMMAND ${PAKSCOPE_GZIP} -9nc ${CMAKE_SOURCE_DIR}/packaging/changelog > ${PAKSCOPE_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(pakscope_changelog ALL DEPENDS ${PAKSCOPE_CHANGELOG})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${PAKSCOPE_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pakscope)

if(TARGET pakscope)
  set(PAKSCOPE_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
  install(TARGETS pakscope RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PAKSCOPE_PACKAGING_DIR}/pakscope.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PAKSCOPE_PACKAGING_DIR}/pakscope.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(DIRECTORY ${PAKSCOPE_PACKAGING_DIR}/icons/hicolor/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${PAKSCOPE_PACKAGING_DIR}/application-x-pakscope-qpk.svg
                ${PAKSCOPE_PACKAGING_DIR}/application-x-pakscope-lqpk.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)
  install(FILES ${PAKSCOPE_PACKAGING_DIR}/pakscope-mime.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME pakscope.xml)
  install(FILES ${PAKSCOPE_PACKAGING_DIR}/org.vorlund.pakscope.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Debian package: cpack in a build folder writes pakscope_<version>_<arch>.deb.
# The MIME database, icon cache and menu are refreshed by the triggers of
# shared-mime-info, hicolor-icon-theme and desktop-file-utils; no scripts needed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pakscope)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vorlund")
set(CPACK_PACKAGE_CONTACT "Pakscope maintainers <pakscope@vorlund.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Pakscope maintainers <pakscope@vorlund.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and analyser of captured link-layer packets")
# The summary is the synopsis line; these paragraphs follow it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Pakscope shows captured link-layer traffic as a grid with one row per packet
and one column per byte. It reads its own QPK and LQPK packet files, libpcap
captures and raw bit streams, which it cuts into HDLC frames or into packets
of a fixed period. Packets can be marked, filtered, searched, counted, cut,
padded and saved again, and a protocol analyser splits them into layers from
descriptions that users write in a small language.
.
The package holds the desktop program, the command-line tool pakscope-cli,
the shipped protocol descriptions and the user manual (in Russian).")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window system plugins are loaded at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(PAKSCOPE_TESTS)
  # Installs into a temporary folder and runs the installed programs from there.
  add_test(NAME install_layout
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/check_install.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_SOURCE_DIR} $<IF:$<TARGET_EXISTS:pakscope>,gui,nogui>)
  set_tests_properties(install_layout PROPERTIES LABELS install TIMEOUT 300)
endif()
