# pictomat_library(NAME [DEPS targets...] [PRIVATE_DEPS targets...] [MODULE_SOURCES files...])
# One static library per folder under src/, made of every source in the
# folder but main.cpp, *Module.cpp and the MODULE_SOURCES (a module loaded at
# run time, which the folder builds as a target of its own, pictomat_module).
# Sources include each other by layer ("files/FileRef.h"), so the
# include root is src/ for every library; which folder may include which is
# the list of our libraries in DEPS and PRIVATE_DEPS, recorded here for the
# layering check (tests/layers).
function(pictomat_library name)
  cmake_parse_arguments(L "" "" "DEPS;PRIVATE_DEPS;MODULE_SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/(main|[A-Za-z]+Module)\\.cpp$")
  foreach(source ${L_MODULE_SOURCES})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_DEPS} PRIVATE ${L_PRIVATE_DEPS})

  get_filename_component(layer ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(ours)
  foreach(dep ${L_DEPS} ${L_PRIVATE_DEPS})
    if(dep MATCHES "^pictomat_(.+)$")
      list(APPEND ours ${CMAKE_MATCH_1})
    endif()
  endforeach()
  list(JOIN ours " " ours_text)
  set_property(GLOBAL APPEND PROPERTY PICTOMAT_LAYERS "${layer}: ${ours_text}")
endfunction()

# Writes the layer graph for the layering check: one "layer: deps..." line each.
function(pictomat_write_layers file)
  get_property(lines GLOBAL PROPERTY PICTOMAT_LAYERS)
  list(JOIN lines "\n" text)
  file(WRITE ${file} "${text}\n")
endfunction()
