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
install(FILES ${CMAKE_SOURCE_DIR}/res/com.lumivale.Tavelo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/res/com.lumivale.Tavelo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog, compressed as Debian wants them (no name or time inside).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(TAVELO_COMPRESSED "")
foreach(source IN ITEMS res/man/tavelo.1 res/man/tavelo-cli.1 res/changelog)
  get_filename_component(name ${source} NAME)
  set(compressed ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_SOURCE_DIR}/${source} > ${compressed}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source}
    COMMENT "Compressing ${name}")
  list(APPEND TAVELO_COMPRESSED ${compressed})
endforeach()
add_custom_target(tavelo_compressed_docs ALL DEPENDS ${TAVELO_COMPRESSED})
install(FILES ${CMAKE_BINARY_DIR}/compressed/tavelo.1.gz ${CMAKE_BINARY_DIR}/compressed/tavelo-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/compressed/changelog.gz ${CMAKE_SOURCE_DIR}/res/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavelo)
foreach(size 16 32 48 128)
  install(FILES ${CMAKE_SOURCE_DIR}/res/icons/128_${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavelo.png)
endforeach()
