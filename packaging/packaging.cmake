# Installed layout of the station and its Debian package, built by CPack (scripts/package.sh).
set(CMAKE_INSTALL_DOCDIR share/doc/zarnik-station)
include(GNUInstallDirs)

set(PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The station and every command-line tool that this tree builds.
install(TARGETS zarnik-station RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(tool zarnik-sim zarnik-log zarnik-cli)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES ${PACKAGING_DIR}/zarnik-station.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PACKAGING_DIR}/ru.zarnik.station.metainfo.xml ${PACKAGING_OUT}/ru.zarnik.station.metainfo.xml @ONLY)
install(FILES ${PACKAGING_OUT}/ru.zarnik.station.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${PACKAGING_DIR}/icons/zarnik-station-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zarnik-station.png)
endforeach()
install(FILES ${PACKAGING_DIR}/icons/zarnik-station.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Man pages and the changelog go in compressed without time stamps, as Debian wants them.
set(COMPRESSED)
set(MAN_PAGES)
foreach(page zarnik-station zarnik-sim zarnik-log zarnik-cli)
  if(TARGET ${page})
    configure_file(${PACKAGING_DIR}/man/${page}.1 ${PACKAGING_OUT}/${page}.1 @ONLY)
    list(APPEND COMPRESSED ${page}.1)
    list(APPEND MAN_PAGES ${PACKAGING_OUT}/${page}.1.gz)
  endif()
endforeach()
configure_file(${PACKAGING_DIR}/changelog ${PACKAGING_OUT}/changelog @ONLY)
list(APPEND COMPRESSED changelog)
set(COMPRESSED_OUTPUTS)
foreach(file ${COMPRESSED})
  add_custom_command(OUTPUT ${PACKAGING_OUT}/${file}.gz
    COMMAND gzip -9nc ${PACKAGING_OUT}/${file} > ${PACKAGING_OUT}/${file}.gz
    DEPENDS ${PACKAGING_OUT}/${file} VERBATIM)
  list(APPEND COMPRESSED_OUTPUTS ${PACKAGING_OUT}/${file}.gz)
endforeach()
add_custom_target(package_documents ALL DEPENDS ${COMPRESSED_OUTPUTS})
install(FILES ${MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Wireshark loads Lua dissectors from its global plugin folder.
install(FILES ${CMAKE_SOURCE_DIR}/tools/wireshark/zarnik.lua
  DESTINATION lib/${CMAKE_LIBRARY_ARCHITECTURE}/wireshark/plugins)
install(FILES ${PACKAGING_DIR}/copyright ${PACKAGING_OUT}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnik-station)
set(CPACK_PACKAGE_VENDOR "ZARNIK station team")
set(CPACK_PACKAGE_CONTACT "ZARNIK station team <station@zarnik.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control station for the ZARNIK radio modems")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The operator's desktop station for the ZARNIK family of radio modems: lists
the modems on the network, shows their status and statistics, changes their
radio settings and start-up defaults, runs sensitivity and Doppler tests,
makes voice calls and turns a directional antenna. Includes zarnik-sim, a
simulated network of modems on loopback.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its sound back-end at run time, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5multimedia5-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR OFF)
include(CPack)
