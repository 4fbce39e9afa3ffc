# Where an installed Tavrik keeps its files. On Windows everything sits in the program's folder;
# elsewhere the executable goes to bin/ and its sounds and tour document to share/tavrik/, which
# the program finds relative to its own folder.
include(GNUInstallDirs)

set(TAVRIK_MEDIA_FILES log.wav Drat.wav Kabom.wav Smart.wav 32dohs.wav ReadMe.htm)
list(TRANSFORM TAVRIK_MEDIA_FILES PREPEND ${TAVRIK_OUTPUT_DIR}/)

if(WIN32)
  install(TARGETS tavrik RUNTIME DESTINATION .)
  install(FILES ${TAVRIK_MEDIA_FILES} DESTINATION .)
else()
  install(TARGETS tavrik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TAVRIK_MEDIA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tavrik)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/tavrik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 64 256)
    install(FILES ${CMAKE_BINARY_DIR}/media/resources/tavrik-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavrik.png)
  endforeach()
endif()

set(CPACK_PACKAGE_NAME tavrik)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VENDOR "Brakmere")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop panel that watches SETI@home clients on several computers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tavrik developers <tavrik@brakmere.org>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tavrik)
set(CPACK_PACKAGE_EXECUTABLES tavrik "Tavrik Panel")
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
if(WIN32)
  set(CPACK_GENERATOR "NSIS;ZIP")
  set(CPACK_NSIS_DISPLAY_NAME "Tavrik Panel")
  set(CPACK_NSIS_CREATE_ICONS_EXTRA "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Tavrik Panel.lnk' '$INSTDIR\\\\tavrik.exe'")
else()
  set(CPACK_GENERATOR "DEB")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The platform plugins are not a library the shared-library scan can see. The forms were laid
  # out for Arial- and Times-sized faces: Liberation's metric-compatible ones keep every text whole.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
endif()
include(CPack)
