# The Debian package, built by `cpack -G DEB` (scripts/package builds a Release
# tree for it). It holds exactly what `cmake --install` installs, under /usr,
# plus the documents every Debian package carries (packaging/deb).

set(PICTOMAT_PACKAGE_MAINTAINER "Corvane Software <pictomat@corvane.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(pictomat_deb_dir ${PROJECT_SOURCE_DIR}/packaging/deb)

# The package's version is the top entry of its changelog, so the two never
# disagree; the upstream part must be this project's version (checked when
# packaging, so that a version bump without a changelog entry stops there).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pictomat_deb_dir}/changelog)
file(STRINGS ${pictomat_deb_dir}/changelog pictomat_deb_top LIMIT_COUNT 1)
string(REGEX MATCH "\\(([^)]+)-([^-)]+)\\)" _ "${pictomat_deb_top}")
set(PICTOMAT_DEB_UPSTREAM_VERSION "${CMAKE_MATCH_1}")
set(CPACK_DEBIAN_PACKAGE_RELEASE "${CMAKE_MATCH_2}")

# The libraries opened with dlopen when first needed (cmake/LazyLibraries.cmake)
# are invisible to dpkg-shlibdeps: each soname's package goes into Depends,
# with the version its shlibs file asks for. What our modules link (poppler,
# Qt's network library) dpkg-shlibdeps reads from the modules themselves.
set(pictomat_lazy_depends)
get_property(pictomat_lazy GLOBAL PROPERTY PICTOMAT_LAZY_LIBRARIES)
foreach(entry ${pictomat_lazy})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 1 soname)
  list(GET parts 2 folder)
  execute_process(COMMAND dpkg-query --search "${folder}/${soname}" OUTPUT_VARIABLE owner ERROR_QUIET
                  RESULT_VARIABLE failed)
  if(failed OR NOT owner MATCHES "^([^:,\n]+)")
    message(WARNING "no Debian package ships ${folder}/${soname}: the package's Depends will lack it")
    continue()
  endif()
  set(pkg "${CMAKE_MATCH_1}")
  set(dep "${pkg}")
  execute_process(COMMAND dpkg-query --control-show ${pkg} shlibs OUTPUT_VARIABLE shlibs ERROR_QUIET
                  RESULT_VARIABLE failed)
  if(NOT failed AND soname MATCHES "^(.+)\\.so\\.([^.]+)")
    set(major "${CMAKE_MATCH_2}")
    string(REPLACE "+" "\\+" name "${CMAKE_MATCH_1}")
    string(REPLACE "." "\\." name "${name}")
    if(shlibs MATCHES "(^|\n)${name} ${major} ([^\n]+)")
      set(dep "${CMAKE_MATCH_2}")
    endif()
  endif()
  list(APPEND pictomat_lazy_depends "${dep}")
endforeach()
list(REMOVE_DUPLICATES pictomat_lazy_depends)
list(JOIN pictomat_lazy_depends ", " pictomat_lazy_depends)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pictomat)
set(CPACK_PACKAGE_VENDOR "Corvane Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${PICTOMAT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make icons from the files selected in the file manager")
set(CPACK_PACKAGE_DESCRIPTION "Pictomat lives in the system tray and works on the files and folders
selected in the file manager. For each of them it can:

 * write an .icns icon file from the icon the file manager shows, or from
   the item's own picture or movie poster frame;
 * export the icon as an image in every format Qt can write (PNG, JPEG,
   TIFF, WebP, BMP, ...) at a chosen size and background;
 * copy the icon to the clipboard as PNG;
 * set or remove the custom icon that Nautilus, Nemo, Caja, Dolphin and
   PCManFM-Qt show;
 * give web-location files their site's icon.

File-manager actions (pictomat integrate) hand the selection over; the same
commands run from a shell with pictomat run.")

# cpack installs with DESTDIR set to its staging folder and this prefix, so the
# launcher and the D-Bus service, written at install time, name /usr/bin
# whatever prefix the build tree was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PICTOMAT_STRIP ${CMAKE_STRIP})
set(CPACK_PICTOMAT_MODULE_DIR ${PICTOMAT_MODULE_DIR})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS ${pictomat_deb_dir}/stage.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${pictomat_deb_dir}/cpack-config.cmake)
set(CPACK_PICTOMAT_DEB_DIR ${pictomat_deb_dir})
set(CPACK_PICTOMAT_UPSTREAM_VERSION "${PICTOMAT_DEB_UPSTREAM_VERSION}")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.corvane.com/pictomat/")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Without these the program cannot start on a display, tell file types apart,
# export beyond the formats built into Qt or draw its own tray icon (Qt's SVG
# plugins). Custom icons of files need the GVfs metadata daemon (folders get
# theirs through .directory alone); a Wayland session's clipboard is set and
# read through wl-clipboard.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-image-formats-plugins, libqt6svg6, shared-mime-info, hicolor-icon-theme, gvfs, wl-clipboard, xclip, ${pictomat_lazy_depends}")
# What a desktop normally has and the program degrades without: Qt's Wayland
# backend (XWayland serves otherwise), the Adwaita fallback icons, the "Ping"
# sound, xdg-open, a session bus for D-Bus activation, and bash-completion,
# which loads the completion of "pictomat" on demand (the script also works
# when sourced without it).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, adwaita-icon-theme, sound-theme-freedesktop, xdg-utils, default-dbus-session-bus | dbus-session-bus, bash-completion")
# Qt's own texts (the standard buttons of alerts and dialogs) in the user's
# language; Pictomat's own catalogues are in the package.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-translations-l10n")

include(CPack)
