# The layering rule, run as a test. The folders of src/ are ranked; a file may include only
# folders ranked below its own (and its own folder):
#   dbengine < access < core < safety < structure < checks < records < report < cli
#   report < widgets < maintenance < app
# So neither the engine nor the logic includes a window header (nor Qt Widgets or Qt Gui), the
# command-line tool and the windows include nothing of each other, and no two folders include each
# other. Includes written with a relative path ("../app/...") are read as the folder they reach.
# Usage: cmake -DSRC=<src folder> -P layering.cmake
set(ranghi dbengine access core safety structure checks records report cli widgets maintenance app)
# Two folders of the same height that must not see each other: the tool and the windows.
set(separati cli widgets maintenance app)
set(violazioni "")
foreach(cartella ${ranghi})
  list(FIND ranghi ${cartella} mio)
  file(GLOB_RECURSE files "${SRC}/${cartella}/*.h" "${SRC}/${cartella}/*.cpp")
  foreach(f ${files})
    get_filename_component(dir "${f}" DIRECTORY)
    file(STRINGS "${f}" righe REGEX "^[ \t]*#[ \t]*include")
    foreach(r ${righe})
      if(NOT cartella MATCHES "^(widgets|maintenance|app)$" AND (r MATCHES "<Qt(Widgets|Gui)" OR r MATCHES
         "<Q(Widget|Dialog|MessageBox|Application|GuiApplication|Icon|Pixmap|Painter|Color|Brush|Font|Cursor)>"))
        list(APPEND violazioni "${f}: ${r}")
      endif()
      if(NOT r MATCHES "\"([^\"]+)\"")
        continue()
      endif()
      set(incluso "${CMAKE_MATCH_1}")
      # The folder the include reaches: a relative path from the file's own folder, else from src/.
      if(incluso MATCHES "^\\.\\./")
        get_filename_component(percorso "${dir}/${incluso}" ABSOLUTE)
        file(RELATIVE_PATH incluso "${SRC}" "${percorso}")
      endif()
      if(NOT incluso MATCHES "^([a-z]+)/")
        continue()
      endif()
      set(altra "${CMAKE_MATCH_1}")
      list(FIND ranghi ${altra} suo)
      if(suo LESS 0 OR altra STREQUAL cartella)
        continue()
      endif()
      list(FIND separati ${cartella} a)
      list(FIND separati ${altra} b)
      if(suo GREATER mio OR (cartella STREQUAL "cli" AND b GREATER -1) OR (altra STREQUAL "cli" AND a GREATER -1))
        list(APPEND violazioni "${f}: ${r} (${cartella} may not include ${altra})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violazioni)
  list(JOIN violazioni "\n" testo)
  message(FATAL_ERROR "Includes against the layering:\n${testo}")
endif()
