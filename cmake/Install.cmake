# cmake --install: the programs, the plug-in module in the host's plug-in folder (plug_ins/
# beside quorel-host, where the host looks first), tesser's man page and bash completion.
include(GNUInstallDirs)
install(TARGETS tesser RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quorel-host)
  install(TARGETS quorel-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET Quorel)
  install(TARGETS Quorel LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR}/plug_ins)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/cli/tesser.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/cli/tesser.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tesser)
