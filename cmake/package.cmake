# The Debian package: everything the install rules of the folders install,
# with the shared libraries it needs declared from the binaries themselves.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvan)
set(CPACK_PACKAGE_VENDOR "Zorvan")
set(CPACK_PACKAGE_CONTACT "Zorvan developers <zorvan@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "service tool for a crane load limiter's parameter recorder")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Talks over a serial line to the load limiter of a crane and its built-in\n\
parameter recorder: reads the event memory and the summator history, shows\n\
them, sets the recorder clock, rates lifting cycles into a load spectrum and\n\
writes print, spreadsheet, log and report files. Includes zorvan-cli, the\n\
same readouts on the command line, and recorder-sim, a recorder on a\n\
pseudo-terminal for training and for replaying memory images.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's own revision: debian/changelog's first entry carries it too.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The archive's SQLite driver is a Qt plugin, loaded at run time: no library
# dependency names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)

# What Debian asks of every package besides the programs: the copyright in
# the machine-readable format, the changelog, and a manual page per program,
# compressed as dpkg tools compress them (-9n: the same bytes every build).
if(UNIX AND NOT APPLE)
  include(GNUInstallDirs)
  find_program(ZORVAN_GZIP gzip REQUIRED)
  set(docs ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
  set(compressed)
  foreach(source ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
                 ${PROJECT_SOURCE_DIR}/doc/man/zorvan.1 ${PROJECT_SOURCE_DIR}/doc/man/zorvan-cli.1
                 ${PROJECT_SOURCE_DIR}/doc/man/recorder-sim.1)
    get_filename_component(name ${source} NAME)
    if(name STREQUAL "changelog")
      set(name changelog.Debian)
    endif()
    set(out ${PROJECT_BINARY_DIR}/debian/${name}.gz)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/debian
      COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${ZORVAN_GZIP} ${source} ${out}
      DEPENDS ${source} VERBATIM)
    list(APPEND compressed ${out})
  endforeach()
  add_custom_target(zorvan_debian_docs ALL DEPENDS ${compressed})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
                ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz DESTINATION ${docs})
  install(FILES ${PROJECT_BINARY_DIR}/debian/zorvan.1.gz ${PROJECT_BINARY_DIR}/debian/zorvan-cli.1.gz
                ${PROJECT_BINARY_DIR}/debian/recorder-sim.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
