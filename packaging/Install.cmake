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
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/org.brakmere.Tavrik.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The headless exporter and its systemd units, one writing the textfile and one serving HTTPS
  # (systemd looks under /usr/lib as well as /lib).
  install(TARGETS tavrik-exporter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  foreach(unit tavrik-exporter tavrik-exporter-web)
    # Written at install time: the package's prefix (/usr) is known only then.
    install(CODE "set(TAVRIK_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      configure_file(\"${CMAKE_SOURCE_DIR}/packaging/${unit}.service\"
                     \"${CMAKE_BINARY_DIR}/packaging/${unit}.service\" @ONLY)")
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${unit}.service DESTINATION lib/systemd/system)
  endforeach()
  foreach(size 16 32 48 64 128 256)
    install(FILES ${CMAKE_BINARY_DIR}/media/resources/tavrik-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavrik.png)
  endforeach()

  # The manual page and the Debian changelog go in compressed the way Debian wants them: the
  # most compression, no name or time stamp inside.
  find_program(GZIP_EXECUTABLE gzip)
  set(doc_dir ${CMAKE_BINARY_DIR}/packaging)
  if(GZIP_EXECUTABLE)
    add_custom_command(OUTPUT ${doc_dir}/tavrik.1.gz ${doc_dir}/tavrik-exporter.1.gz ${doc_dir}/changelog.Debian.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${doc_dir}
      COMMAND sh -c "${GZIP_EXECUTABLE} -9nc '${CMAKE_SOURCE_DIR}/packaging/tavrik.1' > '${doc_dir}/tavrik.1.gz'"
      COMMAND sh -c "${GZIP_EXECUTABLE} -9nc '${CMAKE_SOURCE_DIR}/packaging/tavrik-exporter.1' > '${doc_dir}/tavrik-exporter.1.gz'"
      COMMAND sh -c "${GZIP_EXECUTABLE} -9nc '${CMAKE_SOURCE_DIR}/packaging/debian/changelog' > '${doc_dir}/changelog.Debian.gz'"
      DEPENDS ${CMAKE_SOURCE_DIR}/packaging/tavrik.1 ${CMAKE_SOURCE_DIR}/packaging/tavrik-exporter.1
              ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
      VERBATIM)
    add_custom_target(tavrik_docs ALL DEPENDS ${doc_dir}/tavrik.1.gz ${doc_dir}/tavrik-exporter.1.gz
                                              ${doc_dir}/changelog.Debian.gz)
    install(FILES ${doc_dir}/tavrik.1.gz ${doc_dir}/tavrik-exporter.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${doc_dir}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavrik)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavrik)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME tavrik)
endif()

set(CPACK_PACKAGE_NAME tavrik)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VENDOR "Brakmere")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop panel that watches SETI@home clients on several computers")
# Debian shows each line of this as one line of the extended description.
set(CPACK_PACKAGE_DESCRIPTION "Tavrik watches several installations of the classic SETI@home client, the
one that keeps its state in plain-text files, on this computer or on network
shares. For every client it shows the progress of the work unit (blue while
it moves, red when it has stalled), the processor time spent on it and the
account's counts, and it sounds an alarm when downloading the next work unit
takes too long. A message log records every reading and failure and is kept
whole in a session log file; a one-line scrolling display stands in for the
panel while it is minimised. Tavrik only reads the clients' files.")
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
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavrik.brakmere.org/")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The platform plugins are not a library the shared-library scan can see. The forms were laid
  # out for Arial- and Times-sized faces: Liberation's metric-compatible ones keep every text whole.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus-node-exporter")
endif()
include(CPack)
