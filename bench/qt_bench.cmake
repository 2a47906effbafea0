# Album builds from picture files (decoding, preparation, writing) against decoding alone, and
# the batch tool's peak memory.
if(TARGET tavelo-cli)
  add_executable(tavelo_album_bench ${CMAKE_CURRENT_SOURCE_DIR}/bench_album_build.cpp)
  target_link_libraries(tavelo_album_bench PRIVATE tavelo_media tavelo_warnings benchmark::benchmark)
  target_compile_definitions(tavelo_album_bench PRIVATE TAVELO_CLI_PATH="$<TARGET_FILE:tavelo-cli>")
  add_dependencies(tavelo_album_bench tavelo-cli)
endif()
