# The media layer (picture loading, drawing, platform stand-ins) and the desktop layer
# (application, panes, resources), both on Qt 6; then the two programs.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network Test)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

file(GLOB TAVELO_MEDIA_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/imaging/picture_loader*.cpp
  ${CMAKE_SOURCE_DIR}/imaging/memory_bitmap*.cpp
  ${CMAKE_SOURCE_DIR}/platform/*.cpp)
file(GLOB TAVELO_MEDIA_HEADERS CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/imaging/picture_loader*.h
  ${CMAKE_SOURCE_DIR}/imaging/memory_bitmap*.h
  ${CMAKE_SOURCE_DIR}/platform/*.h)
add_library(tavelo_media STATIC ${TAVELO_MEDIA_SOURCES} ${TAVELO_MEDIA_HEADERS})
target_link_libraries(tavelo_media PUBLIC tavelo_core Qt6::Core Qt6::Gui PRIVATE tavelo_warnings)
# Where an installed program finds its help pages, seen from its own folder.
include(GNUInstallDirs)
file(RELATIVE_PATH TAVELO_INSTALLED_HELP ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/tavelo/help)
target_compile_definitions(tavelo_media PRIVATE TAVELO_INSTALLED_HELP="${TAVELO_INSTALLED_HELP}")

# ---- batch tool ----
file(GLOB TAVELO_CLI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cli/*.cpp ${CMAKE_SOURCE_DIR}/cli/*.h)
if(TAVELO_CLI_SOURCES AND EXISTS ${CMAKE_SOURCE_DIR}/cli/main.cpp)
  list(FILTER TAVELO_CLI_SOURCES EXCLUDE REGEX "cli/main\\.cpp$")
  add_library(tavelo_cli_lib STATIC ${TAVELO_CLI_SOURCES})
  target_link_libraries(tavelo_cli_lib PUBLIC tavelo_media Qt6::Core Qt6::Gui PRIVATE tavelo_warnings)
  add_executable(tavelo-cli ${CMAKE_SOURCE_DIR}/cli/main.cpp)
  target_link_libraries(tavelo-cli PRIVATE tavelo_cli_lib tavelo_warnings)
  install(TARGETS tavelo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# ---- desktop program ----
file(GLOB TAVELO_DESKTOP_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/app/*.h
  ${CMAKE_SOURCE_DIR}/panes/*.cpp ${CMAKE_SOURCE_DIR}/panes/*.h
  ${CMAKE_SOURCE_DIR}/res/*.cpp ${CMAKE_SOURCE_DIR}/res/*.h
  ${CMAKE_SOURCE_DIR}/res/*.qrc)
if(TAVELO_DESKTOP_SOURCES AND EXISTS ${CMAKE_SOURCE_DIR}/app/main.cpp)
  list(FILTER TAVELO_DESKTOP_SOURCES EXCLUDE REGEX "app/main\\.cpp$")
  add_library(tavelo_desktop STATIC ${TAVELO_DESKTOP_SOURCES})
  target_link_libraries(tavelo_desktop PUBLIC tavelo_media Qt6::Widgets Qt6::Network PRIVATE tavelo_warnings)
  add_executable(tavelo ${CMAKE_SOURCE_DIR}/app/main.cpp)
  target_link_libraries(tavelo PRIVATE tavelo_desktop tavelo_warnings)
  install(TARGETS tavelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Installation and build-tree layout of the desktop program (help pages, desktop entry, icon).
if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/desktop_install.cmake AND TARGET tavelo)
  include(${CMAKE_SOURCE_DIR}/cmake/desktop_install.cmake)
endif()
