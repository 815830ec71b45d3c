# The word report's template lives beside the program file: copy it next to
# the built program and install it there too.
include_guard(GLOBAL)
include(GNUInstallDirs)

configure_file(${CMAKE_CURRENT_LIST_DIR}/Dot_n.dot ${PROJECT_BINARY_DIR}/app/Dot_n.dot COPYONLY)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/Dot_n.dot DESTINATION ${CMAKE_INSTALL_BINDIR})

# Showing the finished report uses the desktop services of Qt GUI.
target_link_libraries(zorvan_summator PUBLIC Qt6::Gui)
