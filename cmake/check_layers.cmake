# Fails when an include runs up a layer: the core (album/, convert/, imaging/) uses neither Qt
# nor the folders above it, and the media layer (decode/, platform/) uses no widgets and
# nothing of the desktop. Run as `cmake -DSOURCE_DIR=... -P check_layers.cmake`.
set(found "")
function(check_folders folders pattern)
  foreach(folder IN LISTS folders)
    file(GLOB files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(file IN LISTS files)
      file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](${pattern})")
      foreach(line IN LISTS lines)
        file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
        set(found "${found}\n  ${name}: ${line}")
      endforeach()
    endforeach()
  endforeach()
  set(found "${found}" PARENT_SCOPE)
endfunction()

set(above_media "ui/|edit/|panes/|app/|cli/|res/[^c]|QtWidgets|QWidget|QDialog|QApplication")
check_folders("album;convert;imaging;res/core" "decode/|platform/|Q|${above_media}")
check_folders("decode;platform" "${above_media}")
if(found)
  message(FATAL_ERROR "includes that run up a layer:${found}")
endif()
