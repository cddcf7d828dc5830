# `cmake --install BUILD --prefix PREFIX`: both programs in one folder with the
# plug-in, reader and help folders they look for beside themselves; commands
# in bin/ link to them (the programs find that folder through /proc/self/exe).
# Desktop entries, the message file type and icons make the desktop offer both
# programs for ".kvt" files: installed files, never a change to the user's own
# associations at run time.
include(GNUInstallDirs)
set(QR_INSTALL_HOME ${CMAKE_INSTALL_LIBDIR}/quiram-relayo)

install(TARGETS quiram-relayo quiram-relayo-reader RUNTIME DESTINATION ${QR_INSTALL_HOME})
install(DIRECTORY ${QR_BIN_DIR}/Help DESTINATION ${QR_INSTALL_HOME})
# The reader and its licence, which the main program mails along.
install(PROGRAMS $<TARGET_FILE:quiram-relayo-reader> DESTINATION ${QR_INSTALL_HOME}/Reader
        RENAME "${QR_READER_MAIL_NAME}")
install(FILES ${QR_READER_LICENCE} DESTINATION ${QR_INSTALL_HOME}/Reader)
install(DIRECTORY DESTINATION ${QR_INSTALL_HOME}/Importer)
install(DIRECTORY DESTINATION ${QR_INSTALL_HOME}/Exporter)

foreach(program quiram-relayo quiram-relayo-reader)
  install(CODE "
    set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_bin}\")
    file(REMOVE \"\${_bin}/${program}\")
    file(CREATE_LINK \"../${QR_INSTALL_HOME}/${program}\" \"\${_bin}/${program}\" SYMBOLIC)
    message(STATUS \"Installing: \${_bin}/${program} -> ../${QR_INSTALL_HOME}/${program}\")")
endforeach()

set(_desktop ${PROJECT_SOURCE_DIR}/resources/desktop)
install(FILES ${_desktop}/quiram-relayo.desktop ${_desktop}/quiram-relayo-reader.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_desktop}/quiram-relayo-message.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The desktop reads file types from the database built from mime/packages;
# a package build (DESTDIR set) leaves that to the system's own triggers.
install(CODE "
  find_program(_update_mime update-mime-database)
  if(_update_mime AND NOT \"\$ENV{DESTDIR}\")
    execute_process(COMMAND \${_update_mime} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\" OUTPUT_QUIET ERROR_QUIET)
  endif()")
