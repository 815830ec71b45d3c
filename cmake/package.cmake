# The Debian package: everything the install rules of the folders install,
# with the shared libraries it needs declared from the binaries themselves.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvan)
set(CPACK_PACKAGE_VENDOR "Zorvan")
set(CPACK_PACKAGE_CONTACT "Zorvan developers <zorvan@localhost>")
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
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The archive's SQLite driver is a Qt plugin, loaded at run time: no library
# dependency names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
