# Libraries that only some commands need are opened with dlopen when first
# needed (src/files/SharedLibrary.h) instead of being linked, so that neither
# the tray at rest nor a command that has no use for them loads them and the
# libraries behind them. Each is opened by the soname of the very file this
# build compiles against: pkg-config names the file, its SONAME is read from
# it here, and both land in files/LibraryNames.h (PICTOMAT_LIBRARY_<ID>). A
# distribution that moves a library to a new soname moves the program with
# it at the next build, where a name written by hand would leave the reader
# it serves silently gone.

# pictomat_lazy_library(ID NAME FILES...)
# ID names the library in C++; NAME is its file's name between "lib" and
# ".so"; FILES are the full paths pkg-config links with (<PREFIX>_LINK_LIBRARIES).
function(pictomat_lazy_library id name)
  set(found)
  foreach(file ${ARGN})
    get_filename_component(base "${file}" NAME)
    if(base STREQUAL "lib${name}.so")
      set(found "${file}")
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "lib${name}.so is not among the files pkg-config links with: ${ARGN}")
  endif()
  execute_process(COMMAND "${CMAKE_OBJDUMP}" -p "${found}" OUTPUT_VARIABLE dump ERROR_VARIABLE why
                  RESULT_VARIABLE failed)
  if(failed OR NOT dump MATCHES "\n[ \t]*SONAME[ \t]+([^ \t\n]+)")
    message(FATAL_ERROR "no SONAME read from ${found} (${CMAKE_OBJDUMP} -p): ${why}")
  endif()
  set(soname "${CMAKE_MATCH_1}")
  get_filename_component(folder "${found}" DIRECTORY)
  set_property(GLOBAL APPEND PROPERTY PICTOMAT_LAZY_LIBRARIES "${id}|${soname}|${folder}")
  set(PICTOMAT_LIBRARY_${id} "${soname}" PARENT_SCOPE)
endfunction()

# Our own modules (pictomat_module) go into one folder below the prefix,
# beside the program's bin folder in the build tree as once installed. One
# level deeper than lib/pictomat: CPack calls ldconfig from the package's
# scripts for any library directly in a folder of /usr/lib, which a private
# module does not want (and lintian refuses). The package's strip step reads
# the same value.
set(PICTOMAT_MODULE_DIR lib/pictomat/modules)

# pictomat_module(TARGET FILE name OWNER library SOURCES... LIBS...)
# A module of ours, NAME.so, that OWNER opens with dlopen when first needed.
# Only what it marks with default visibility is seen from outside.
function(pictomat_module target)
  cmake_parse_arguments(M "" "FILE;OWNER;ID" "SOURCES;LIBS" ${ARGN})
  add_library(${target} MODULE ${M_SOURCES})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${M_FILE}
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${PICTOMAT_MODULE_DIR} CXX_VISIBILITY_PRESET hidden)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PRIVATE ${M_LIBS})
  # What it takes from our static libraries stays its own, too.
  target_link_options(${target} PRIVATE LINKER:--exclude-libs,ALL)
  add_dependencies(${M_OWNER} ${target})
  install(TARGETS ${target} LIBRARY DESTINATION ${PICTOMAT_MODULE_DIR})
  set_property(GLOBAL APPEND PROPERTY PICTOMAT_MODULES "${M_ID}|${M_FILE}.so")
endfunction()

pkg_check_modules(TIFF REQUIRED libtiff-4)
pictomat_lazy_library(TIFF tiff ${TIFF_LINK_LIBRARIES})
pkg_check_modules(HEIF REQUIRED libheif)
pictomat_lazy_library(HEIF heif ${HEIF_LINK_LIBRARIES})
pkg_check_modules(RSVG REQUIRED librsvg-2.0)
pictomat_lazy_library(RSVG rsvg-2 ${RSVG_LINK_LIBRARIES})
pkg_check_modules(CAIRO REQUIRED cairo)
pictomat_lazy_library(CAIRO cairo ${CAIRO_LINK_LIBRARIES})
pkg_check_modules(FFMPEG REQUIRED libavformat libavcodec libswscale libavutil)
foreach(lib avutil avcodec avformat swscale)
  string(TOUPPER ${lib} id)
  pictomat_lazy_library(${id} ${lib} ${FFMPEG_LINK_LIBRARIES})
endforeach()
pkg_check_modules(LCMS2 REQUIRED lcms2)
pictomat_lazy_library(LCMS2 lcms2 ${LCMS2_LINK_LIBRARIES})
pkg_check_modules(OPENJP2 REQUIRED libopenjp2)
pictomat_lazy_library(OPENJP2 openjp2 ${OPENJP2_LINK_LIBRARIES})
pkg_check_modules(LIBDEFLATE REQUIRED libdeflate)
pictomat_lazy_library(DEFLATE deflate ${LIBDEFLATE_LINK_LIBRARIES})
# ISA-L compresses PNG rows faster than zlib; zlib stands in where it is not built.
pkg_check_modules(ISAL libisal)
if(ISAL_FOUND)
  pictomat_lazy_library(ISAL isal ${ISAL_LINK_LIBRARIES})
endif()
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET GLOBAL libplist-2.0)
pictomat_lazy_library(PLIST plist-2.0 ${PLIST_LINK_LIBRARIES})
pkg_check_modules(LIBXML2 REQUIRED libxml-2.0)
pictomat_lazy_library(XML2 xml2 ${LIBXML2_LINK_LIBRARIES})
# Sounds play where libcanberra is built; ALSA is only told to keep quiet.
pkg_check_modules(CANBERRA libcanberra)
if(CANBERRA_FOUND)
  pictomat_lazy_library(CANBERRA canberra ${CANBERRA_LINK_LIBRARIES})
  pkg_check_modules(ALSA alsa)
  if(ALSA_FOUND)
    pictomat_lazy_library(ASOUND asound ${ALSA_LINK_LIBRARIES})
  endif()
endif()

# pictomat_library_headers(TARGET PREFIX...)
# The headers (and their compile flags) of libraries TARGET opens at run
# time, without linking them.
function(pictomat_library_headers target)
  foreach(prefix ${ARGN})
    target_include_directories(${target} PRIVATE ${${prefix}_INCLUDE_DIRS})
    target_compile_options(${target} PRIVATE ${${prefix}_CFLAGS_OTHER})
  endforeach()
endfunction()

# Writes files/LibraryNames.h into FOLDER, and lazy-libraries.txt (one
# "soname folder" line each, for the package's Depends and its check).
function(pictomat_write_library_names folder)
  get_property(libraries GLOBAL PROPERTY PICTOMAT_LAZY_LIBRARIES)
  get_property(modules GLOBAL PROPERTY PICTOMAT_MODULES)
  set(defines)
  set(all)
  set(listed)
  foreach(entry ${libraries})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 id)
    list(GET parts 1 soname)
    list(GET parts 2 where)
    string(APPEND defines "#define PICTOMAT_LIBRARY_${id} \"${soname}\"\n")
    string(APPEND all " X(${id}, \"${soname}\")")
    string(APPEND listed "${soname} ${where}\n")
  endforeach()
  set(module_defines)
  set(all_modules)
  foreach(entry ${modules})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 id)
    list(GET parts 1 file)
    string(APPEND module_defines "#define PICTOMAT_MODULE_${id} \"${file}\"\n")
    string(APPEND all_modules " X(${id}, \"${file}\")")
  endforeach()
  file(CONFIGURE OUTPUT ${folder}/files/LibraryNames.h CONTENT [=[
// Written by cmake/LazyLibraries.cmake: the sonames of the libraries this
// build compiled against that the program opens when first needed
// (files/SharedLibrary.h), and its own modules.
#pragma once

@defines@
// Every library above, as X(ID, soname).
#define PICTOMAT_LIBRARIES(X)@all@

// The folder of our modules below the prefix, beside the bin folder.
#define PICTOMAT_MODULE_DIR "@PICTOMAT_MODULE_DIR@"
@module_defines@
// Every module above, as X(ID, file).
#define PICTOMAT_MODULES(X)@all_modules@
]=] @ONLY)
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/lazy-libraries.txt CONTENT "@listed@" @ONLY)
endfunction()
