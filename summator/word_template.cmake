# The word report's template: beside the built program, where the program
# looks first, and installed into the data folder, where it looks next (on
# Windows the program's own folder is the data folder).
include_guard(GLOBAL)
include(GNUInstallDirs)

configure_file(${CMAKE_CURRENT_LIST_DIR}/Dot_n.dot ${PROJECT_BINARY_DIR}/app/Dot_n.dot COPYONLY)
if(WIN32)
  set(zorvan_template_dir ${CMAKE_INSTALL_BINDIR})
else()
  set(zorvan_template_dir ${CMAKE_INSTALL_DATADIR}/zorvan)
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/Dot_n.dot DESTINATION ${zorvan_template_dir})

# The data folder as seen from the program's folder, so an installed tree
# finds its template wherever it was unpacked.
file(RELATIVE_PATH zorvan_data_from_program ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/zorvan)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/word_paths.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS ZORVAN_DATA_FROM_PROGRAM="${zorvan_data_from_program}")

# Showing the finished report uses the desktop services of Qt GUI.
target_link_libraries(zorvan_summator PUBLIC Qt6::Gui)
