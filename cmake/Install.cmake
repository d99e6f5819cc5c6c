# cmake --install: the programs, the plug-in module in the installed host's plug-in folder
# (<libdir>/quorel-host/plug_ins, where quorel-host looks after plug_ins/ beside itself),
# the man pages, tesser's bash completion, quorel-host's desktop entry, icon and AppStream
# metainfo. scripts/package.sh makes the Debian packages from its two components.
include(GNUInstallDirs)
# Two components, one package each (scripts/package.sh): "tesser", the command line without Qt,
# and "quorel-host", the desktop host with the module.
install(TARGETS tesser RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tesser)
install(FILES ${PROJECT_SOURCE_DIR}/cli/tesser.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT tesser)
install(FILES ${PROJECT_SOURCE_DIR}/cli/tesser.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tesser
        COMPONENT tesser)
if(TARGET quorel-host)
  install(TARGETS quorel-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT quorel-host)
  install(FILES ${PROJECT_SOURCE_DIR}/app/quorel-host.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT quorel-host)
  install(FILES ${PROJECT_SOURCE_DIR}/app/quorel-host.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT quorel-host)
  install(FILES ${PROJECT_SOURCE_DIR}/app/quorel-host.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT quorel-host)
  install(FILES ${PROJECT_SOURCE_DIR}/app/org.tesserpro.QuorelHost.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT quorel-host)
endif()
if(TARGET Quorel)
  install(TARGETS Quorel LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/quorel-host/plug_ins
          COMPONENT quorel-host)
endif()
