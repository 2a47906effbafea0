# The media layer (picture loading, drawing, platform stand-ins) and the desktop layer
# (template layer and shared controls, panes, application, resources), both on Qt 6; then
# the two programs.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network Test)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)
include(GNUInstallDirs)

set(TAVELO_MEDIA_SOURCES
  decode/bmp_reader.cpp decode/bmp_reader.h
  decode/drawing.cpp decode/drawing.h
  decode/exif_orientation.cpp decode/exif_orientation.h
  decode/gif_decoder.cpp decode/gif_decoder.h
  decode/heif_decoder.cpp decode/heif_decoder.h
  decode/hevc_plugin.cpp decode/hevc_plugin.h
  decode/jpeg_decoder.cpp decode/jpeg_decoder.h
  decode/over_white.h
  decode/picture_loader.cpp decode/picture_loader.h
  decode/picture_rows.cpp decode/picture_rows.h
  decode/png_decoder.cpp decode/png_decoder.h
  decode/webp_decoder.cpp decode/webp_decoder.h
  platform/album_file_input.cpp platform/album_file_input.h
  platform/install_library.cpp platform/install_library.h
  platform/install_target.cpp platform/install_target.h
  platform/registry.cpp platform/registry.h
  platform/shell.cpp platform/shell.h
  platform/system_path.cpp platform/system_path.h)
add_library(tavelo_media STATIC ${TAVELO_MEDIA_SOURCES})
find_package(JPEG REQUIRED)
find_package(GIF REQUIRED)
find_package(PNG REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(WEBP REQUIRED IMPORTED_TARGET libwebp libwebpdemux)
pkg_check_modules(HEIF REQUIRED IMPORTED_TARGET libheif)
pkg_check_modules(DE265 REQUIRED IMPORTED_TARGET libde265)
target_link_libraries(tavelo_media PUBLIC tavelo_core Qt6::Core Qt6::Gui
  PRIVATE JPEG::JPEG GIF::GIF PNG::PNG PkgConfig::WEBP PkgConfig::HEIF
  PkgConfig::DE265 tavelo_warnings)
# Where an installed program finds its help pages, seen from its own folder.
file(RELATIVE_PATH TAVELO_INSTALLED_HELP ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATADIR}/tavelo/help)
target_compile_definitions(tavelo_media PRIVATE TAVELO_INSTALLED_HELP="${TAVELO_INSTALLED_HELP}")

# ---- batch tool ----
add_library(tavelo_cli_lib STATIC
  cli/album_json.cpp cli/album_json.h
  cli/album_report.cpp cli/album_report.h
  cli/cli.cpp cli/cli.h)
target_link_libraries(tavelo_cli_lib PUBLIC tavelo_media tavelo_version Qt6::Core Qt6::Gui PRIVATE tavelo_warnings)
add_executable(tavelo-cli cli/main.cpp)
target_link_libraries(tavelo-cli PRIVATE tavelo_cli_lib tavelo_warnings)
install(TARGETS tavelo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# ---- desktop program ----
add_library(tavelo_desktop STATIC
  ui/file_dialogs.cpp ui/file_dialogs.h
  ui/resources.cpp ui/resources.h
  ui/edge_anchors.cpp ui/edge_anchors.h
  ui/scroll_bar.cpp ui/scroll_bar.h
  ui/tab_ctrl.cpp ui/tab_ctrl.h
  ui/template_layer.cpp ui/template_layer.h
  ui/tool_tip_button.cpp ui/tool_tip_button.h
  ui/text_boxes.cpp ui/text_boxes.h
  ui/messages.cpp ui/messages.h
  ui/unshown_characters_note.cpp ui/unshown_characters_note.h
  edit/album_commands.cpp edit/album_commands.h
  edit/album_document.cpp edit/album_document.h
  edit/new_picture_defaults.h
  panes/album_editor.cpp panes/album_editor.h
  panes/annotation_page.cpp panes/annotation_page.h
  panes/color_page.cpp panes/color_page.h
  panes/album_info_pane.cpp panes/album_info_pane.h
  panes/image_list_pane.cpp panes/image_list_pane.h
  panes/pane_dialog.cpp panes/pane_dialog.h
  panes/picture_page.cpp panes/picture_page.h
  panes/picture_cache.cpp panes/picture_cache.h
  panes/preview_pane.cpp panes/preview_pane.h
  panes/size_page.cpp panes/size_page.h
  app/about_dlg.cpp app/about_dlg.h
  app/album_app.cpp app/album_app.h
  app/add_pictures.cpp app/add_pictures.h
  app/album_icons.cpp app/album_icons.h
  app/picture_check.cpp app/picture_check.h
  app/album_file_commands.cpp app/album_file_commands.h
  app/hotsync_command.cpp app/hotsync_command.h
  app/project_commands.cpp app/project_commands.h
  app/album_viewer_dlg.cpp app/album_viewer_dlg.h
  app/help_pages.cpp app/help_pages.h
  app/main_dlg.cpp app/main_dlg.h
  app/run_counter.cpp app/run_counter.h
  app/save_progress_dlg.cpp app/save_progress_dlg.h
  app/single_instance.cpp app/single_instance.h
  res/accessible_texts.cpp res/accessible_texts.h
  res/dialog_template.h res/dialog_templates.cpp
  res/resource.h
  res/string_table.cpp res/string_table.h
  res/tavelo.qrc)
target_link_libraries(tavelo_desktop PUBLIC tavelo_media tavelo_version Qt6::Widgets Qt6::Network PRIVATE tavelo_warnings)
add_executable(tavelo app/main.cpp)
target_link_libraries(tavelo PRIVATE tavelo_desktop tavelo_warnings)
install(TARGETS tavelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Installation and build-tree layout of the desktop program (help pages, desktop entry, icon),
# and the Debian package.
include(${CMAKE_SOURCE_DIR}/cmake/desktop_install.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/package.cmake)
