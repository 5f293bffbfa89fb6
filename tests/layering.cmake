# The layering rule, run as a test: no file of the engine or of the logic includes a window
# header (app/, maintenance/, Qt Widgets or Qt Gui), and neither the engine nor the Access
# reader includes anything of the logic.
# Usage: cmake -DSRC=<src folder> -P layering.cmake
set(violazioni "")
foreach(cartella dbengine access core checks structure records cli)
  file(GLOB_RECURSE files "${SRC}/${cartella}/*.h" "${SRC}/${cartella}/*.cpp")
  foreach(f ${files})
    file(STRINGS "${f}" righe REGEX "^[ \t]*#[ \t]*include")
    foreach(r ${righe})
      if(r MATCHES "\"(app|maintenance)/" OR r MATCHES "<Qt(Widgets|Gui)" OR r MATCHES
         "<Q(Widget|Dialog|MessageBox|Application|GuiApplication|Icon|Pixmap|Painter|Color|Brush|Font|Cursor)>")
        list(APPEND violazioni "${f}: ${r}")
      endif()
      if(cartella MATCHES "^(dbengine|access)$" AND r MATCHES "\"(core|checks|structure|records|cli)/")
        list(APPEND violazioni "${f}: ${r}")
      endif()
      if(cartella STREQUAL "dbengine" AND r MATCHES "\"access/")
        list(APPEND violazioni "${f}: ${r}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violazioni)
  list(JOIN violazioni "\n" testo)
  message(FATAL_ERROR "Window headers included outside the windows:\n${testo}")
endif()
