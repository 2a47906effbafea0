# The desktop program's help pages, desktop entry and icon: in the build tree the help folder
# sits beside the program, where the program looks for it; installed, the pages go under
# share/tavelo/help, where an installed program finds them.
file(GLOB TAVELO_HELP_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/help/*)
get_target_property(TAVELO_PROGRAM_DIR tavelo RUNTIME_OUTPUT_DIRECTORY)
if(NOT TAVELO_PROGRAM_DIR)
  get_target_property(TAVELO_PROGRAM_DIR tavelo BINARY_DIR)
endif()
set(TAVELO_BUILD_HELP_PAGES "")
foreach(page IN LISTS TAVELO_HELP_PAGES)
  get_filename_component(name ${page} NAME)
  set(copy ${TAVELO_PROGRAM_DIR}/help/${name})
  list(APPEND TAVELO_BUILD_HELP_PAGES ${copy})
  add_custom_command(OUTPUT ${copy}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page} ${copy}
    DEPENDS ${page}
    COMMENT "Help page ${name} beside the program")
endforeach()
add_custom_target(tavelo_help ALL DEPENDS ${TAVELO_BUILD_HELP_PAGES})
add_dependencies(tavelo tavelo_help)

include(GNUInstallDirs)
install(FILES ${TAVELO_HELP_PAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tavelo/help)
install(FILES ${CMAKE_SOURCE_DIR}/res/tavelo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 128)
  install(FILES ${CMAKE_SOURCE_DIR}/res/icons/128_${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavelo.png)
endforeach()
