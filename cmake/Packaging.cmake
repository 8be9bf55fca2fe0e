# Installation and the Debian package (cmake --build build --target package).
# An installed program finds Matrix/ and DOC/ under share/vq7station and writes its
# files under the user's XDG data folder (src/common/AppPaths).
include(GNUInstallDirs)
set(VQ7_SHARE ${CMAKE_INSTALL_DATADIR}/vq7station)

foreach(program vq7station vq7ctl vq7sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET vq7station)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/vq7station.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/vq7station.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
# Matrix/ (the report template) and DOC/ (the operator's guide), read from share/vq7station.
if(DEFINED VQ7_REPORT_TEMPLATE)
  install(FILES ${VQ7_REPORT_TEMPLATE} DESTINATION ${VQ7_SHARE}/Matrix)
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/DOC/ DESTINATION ${VQ7_SHARE}/DOC)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vq7station)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "vq7station maintainers <vq7station@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Calibration and verification station for heat meters and flow meters")
set(CPACK_PACKAGE_DESCRIPTION
    "vq7station (Qt 6 window), vq7ctl (command line) and vq7sim (rig simulator) for the calibration\nand verification of the flow channel of meters on a test rig. Serial ports need the group dialout.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
