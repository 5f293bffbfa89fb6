# The layering rule, run as a test. The folders of src/ are ranked; a file may include only
# folders ranked below its own (and its own folder):
#   dbengine < access < core < safety < structure < checks < records < report < cli
#   report < widgets < maintenance < app
# So neither the engine nor the logic includes a window header (nor Qt Widgets or Qt Gui), the
# command-line tool and the windows include nothing of each other, and no two folders include each
# other. Includes written with a relative path ("../app/...") are read as the folder they reach.
# Outside the engine only its public headers are included (below).
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
# Each class is defined in the folder that declares it: a member defined at the start of a line
# ("void Manutenzione::CreaLista()") in a file of another folder than the header declaring the
# class is against the rule, as an include upwards would be. A name declared in two folders is
# not judged.
foreach(cartella ${ranghi})
  file(GLOB_RECURSE intestazioni "${SRC}/${cartella}/*.h")
  foreach(h ${intestazioni})
    file(STRINGS "${h}" classi REGEX "^(class|struct) [A-Za-z_][A-Za-z0-9_]*( final)?( :[^;]*)?( {)?$")
    foreach(c ${classi})
      string(REGEX MATCH "^(class|struct) ([A-Za-z_][A-Za-z0-9_]*)" _ "${c}")
      set(nome "${CMAKE_MATCH_2}")
      if(DEFINED classe_${nome} AND NOT classe_${nome} STREQUAL cartella)
        set(classe_${nome} "-")
      else()
        set(classe_${nome} "${cartella}")
      endif()
    endforeach()
  endforeach()
endforeach()
foreach(cartella ${ranghi})
  file(GLOB_RECURSE sorgenti "${SRC}/${cartella}/*.cpp")
  foreach(f ${sorgenti})
    file(STRINGS "${f}" definizioni REGEX "^([A-Za-z_][^ (]* )*[*&]?[A-Z][A-Za-z0-9_]*::~?[A-Za-z_][A-Za-z0-9_]*\\(")
    foreach(d ${definizioni})
      string(REGEX MATCH "([A-Z][A-Za-z0-9_]*)::~?[A-Za-z_][A-Za-z0-9_]*\\(" _ "${d}")
      set(nome "${CMAKE_MATCH_1}")
      if(DEFINED classe_${nome} AND NOT classe_${nome} STREQUAL "-" AND NOT classe_${nome} STREQUAL cartella)
        list(APPEND violazioni "${f}: ${d} (${nome} is declared in ${classe_${nome}})")
      endif()
    endforeach()
  endforeach()
endforeach()

# The engine's public face: outside src/dbengine a file includes only the headers of
# dbengine/include ("dbengine/dbengine.h", ...). The private headers beside them, reachable by a
# relative path or by name through the door's include path, are the engine's own; the one door to
# them (dbengine_inside.h) is for the tests, the benchmarks and the fuzzer, never for src/.
get_filename_component(radice "${SRC}/.." ABSOLUTE)
set(motore "${SRC}/dbengine")
set(esterni "")
foreach(cartella ${ranghi})
  if(NOT cartella STREQUAL "dbengine")
    file(GLOB_RECURSE f "${SRC}/${cartella}/*.h" "${SRC}/${cartella}/*.cpp")
    list(APPEND esterni ${f})
  endif()
endforeach()
file(GLOB_RECURSE prove "${radice}/tests/*.h" "${radice}/tests/*.cpp" "${radice}/bench/*.h" "${radice}/bench/*.cpp"
     "${radice}/fuzz/*.h" "${radice}/fuzz/*.cpp")
foreach(f ${esterni} ${prove})
  get_filename_component(dir "${f}" DIRECTORY)
  file(STRINGS "${f}" righe REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(r ${righe})
    string(REGEX MATCH "\"([^\"]+)\"" _ "${r}")
    set(incluso "${CMAKE_MATCH_1}")
    if(EXISTS "${dir}/${incluso}")
      get_filename_component(trovato "${dir}/${incluso}" ABSOLUTE)  # next to the file, or relative
    elseif(incluso MATCHES "^dbengine/")
      set(trovato "${motore}/include/${incluso}")
      if(NOT EXISTS "${trovato}")
        set(trovato "${SRC}/${incluso}")  # a private header named by its place under src/
      endif()
    elseif(EXISTS "${motore}/${incluso}" OR EXISTS "${motore}/inside/${incluso}")
      set(trovato "${motore}/${incluso}")  # by name, through the door's include path
      if(EXISTS "${motore}/inside/${incluso}")
        set(trovato "${motore}/inside/${incluso}")
      endif()
    else()
      continue()
    endif()
    string(FIND "${trovato}" "${motore}/" nel_motore)
    if(NOT nel_motore EQUAL 0)
      continue()
    endif()
    string(FIND "${trovato}" "${motore}/include/" pubblico)
    string(FIND "${trovato}" "${motore}/inside/" porta)
    list(FIND prove "${f}" di_prova)
    if(pubblico EQUAL 0 OR (porta EQUAL 0 AND di_prova GREATER -1))
      continue()
    endif()
    list(APPEND violazioni "${f}: ${r} (a private header of the engine)")
  endforeach()
endforeach()

# A catch that takes an error and does nothing with it says why, in a comment in its body: a catch
# whose body is empty is against the rule.
file(GLOB_RECURSE sorgenti "${SRC}/*.h" "${SRC}/*.cpp")
foreach(f ${sorgenti})
  file(READ "${f}" contenuto)
  string(REGEX MATCHALL "catch[ \t]*\\([^)]*\\)[ \t]*{[ \t\n]*}" vuoti "${contenuto}")
  foreach(v ${vuoti})
    string(REGEX REPLACE "[ \t\n]+" " " v "${v}")
    list(APPEND violazioni "${f}: ${v} (an empty catch says why it takes the error)")
  endforeach()
endforeach()

if(violazioni)
  list(JOIN violazioni "\n" testo)
  message(FATAL_ERROR "Against the layering:\n${testo}")
endif()
