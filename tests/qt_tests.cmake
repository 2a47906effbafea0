# Tests of the Qt layers: media (loader, platform stand-ins), batch tool, desktop program.
file(GLOB TAVELO_MEDIA_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/imaging/test_picture_loader*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/imaging/test_memory_bitmap*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/*.cpp)
if(TAVELO_MEDIA_TEST_SOURCES)
  add_executable(tavelo_media_tests ${TAVELO_MEDIA_TEST_SOURCES})
  target_include_directories(tavelo_media_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(tavelo_media_tests PRIVATE tavelo_media tavelo_warnings GTest::gtest GTest::gtest_main)
  target_compile_definitions(tavelo_media_tests PRIVATE
    TAVELO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    TAVELO_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples")
  gtest_discover_tests(tavelo_media_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_PLATFORMTHEME=")
endif()

file(GLOB TAVELO_CLI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cli/*.cpp)
if(TAVELO_CLI_TEST_SOURCES AND TARGET tavelo-cli)
  add_executable(tavelo_cli_tests ${TAVELO_CLI_TEST_SOURCES})
  target_include_directories(tavelo_cli_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(tavelo_cli_tests PRIVATE tavelo_cli_lib tavelo_warnings GTest::gtest)
  target_compile_definitions(tavelo_cli_tests PRIVATE
    TAVELO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    TAVELO_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples"
    TAVELO_CLI_PATH="$<TARGET_FILE:tavelo-cli>")
  add_dependencies(tavelo_cli_tests tavelo-cli)
  gtest_discover_tests(tavelo_cli_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_PLATFORMTHEME=")
endif()

file(GLOB TAVELO_DESKTOP_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/app/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/panes/*.cpp)
if(TAVELO_DESKTOP_TEST_SOURCES AND TARGET tavelo_desktop)
  add_executable(tavelo_desktop_tests ${TAVELO_DESKTOP_TEST_SOURCES})
  target_include_directories(tavelo_desktop_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(tavelo_desktop_tests PRIVATE tavelo_desktop Qt6::Test tavelo_warnings GTest::gtest)
  target_compile_definitions(tavelo_desktop_tests PRIVATE
    TAVELO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    TAVELO_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples"
    TAVELO_BINARY_PATH="$<TARGET_FILE:tavelo>")
  add_dependencies(tavelo_desktop_tests tavelo)
  gtest_discover_tests(tavelo_desktop_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_PLATFORMTHEME=")
endif()
