# The program in German and French: its tray menu over dbusmenu, its messages,
# its launcher through GLib, and its catalogues checked by Qt's and gettext's
# tools against the sources.
pictomat_add_test(test_translation NEEDS_BINARY SOURCES TranslationTest.cpp
  PROPERTIES RESOURCE_LOCK x11-display)
add_dependencies(test_translation status_notifier_watcher_standin pictomat_desktop_texts)
target_compile_definitions(test_translation PRIVATE
  WATCHER_STANDIN="$<TARGET_FILE:status_notifier_watcher_standin>"
  PICTOMAT_LUPDATE="$<TARGET_FILE:Qt6::lupdate>"
  PICTOMAT_LRELEASE="$<TARGET_FILE:Qt6::lrelease>")
