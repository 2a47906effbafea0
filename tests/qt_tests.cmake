# Tests of the Qt layers: media (loader, platform stand-ins), batch tool, desktop program.
add_executable(tavelo_media_tests
  decode/test_picture_loader.cpp
  platform/environment_scope.h
  platform/recording_shell.h
  platform/test_install_library.cpp
  platform/test_install_target.cpp
  platform/test_registry.cpp
  platform/test_shell.cpp)
target_include_directories(tavelo_media_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tavelo_media_tests PRIVATE tavelo_media tavelo_warnings GTest::gtest GTest::gtest_main)
target_compile_definitions(tavelo_media_tests PRIVATE
  TAVELO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
  TAVELO_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples")
gtest_discover_tests(tavelo_media_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_PLATFORMTHEME=")

add_executable(tavelo_cli_tests
  cli/test_album_report.cpp
  cli/test_cli.cpp
  cli/test_cli_pictures.cpp
  cli/test_main.cpp)
target_include_directories(tavelo_cli_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tavelo_cli_tests PRIVATE tavelo_cli_lib tavelo_warnings GTest::gtest)
target_compile_definitions(tavelo_cli_tests PRIVATE
  TAVELO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
  TAVELO_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples"
  TAVELO_CLI_PATH="$<TARGET_FILE:tavelo-cli>")
add_dependencies(tavelo_cli_tests tavelo-cli)
gtest_discover_tests(tavelo_cli_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_PLATFORMTHEME=")

add_executable(tavelo_desktop_tests
  app/main_window_fixture.h
  app/test_album_editing.cpp
  app/test_album_projects.cpp
  app/test_album_viewer.cpp
  app/test_keyboard.cpp
  app/test_main.cpp
  app/test_main_dlg.cpp
  app/test_save_and_hotsync.cpp
  app/test_single_instance.cpp
  edit/test_album_document.cpp
  panes/test_album_info_pane.cpp
  panes/test_image_list_pane.cpp
  panes/test_preview_pane.cpp
  ui/test_template_layer.cpp)
target_include_directories(tavelo_desktop_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tavelo_desktop_tests PRIVATE tavelo_desktop Qt6::Test tavelo_warnings GTest::gtest)
target_compile_definitions(tavelo_desktop_tests PRIVATE
  TAVELO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
  TAVELO_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples"
  TAVELO_BINARY_PATH="$<TARGET_FILE:tavelo>"
  TAVELO_CLI_PATH="$<TARGET_FILE:tavelo-cli>")
add_dependencies(tavelo_desktop_tests tavelo tavelo-cli)
gtest_discover_tests(tavelo_desktop_tests DISCOVERY_TIMEOUT 60
  PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_PLATFORMTHEME=")
