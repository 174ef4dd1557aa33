# Status menu and tray tests (included from this folder's CMakeLists.txt).
pictomat_add_test(test_menu SOURCES MenuTest.cpp LIBS pictomat_app Qt6::Test)

add_executable(status_notifier_watcher_standin StatusNotifierWatcherStandIn.cpp)
target_link_libraries(status_notifier_watcher_standin PRIVATE Qt6::DBus)
# Each tray test runs its own bus, but they share the X server's pointer, and
# the selection they show counts files copied to its clipboard.
pictomat_add_test(test_tray NEEDS_BINARY SOURCES TrayTest.cpp LIBS pictomat_app
  PROPERTIES RESOURCE_LOCK x11-display)
add_dependencies(test_tray status_notifier_watcher_standin)
target_compile_definitions(test_tray PRIVATE
  WATCHER_STANDIN="$<TARGET_FILE:status_notifier_watcher_standin>")

pictomat_add_test(test_endtoend NEEDS_BINARY SOURCES EndToEndTest.cpp LIBS pictomat_app
  PROPERTIES RESOURCE_LOCK x11-display)
add_dependencies(test_endtoend status_notifier_watcher_standin)
target_compile_definitions(test_endtoend PRIVATE
  WATCHER_STANDIN="$<TARGET_FILE:status_notifier_watcher_standin>")

# Run over D-Bus against the running tray program, through gdbus.
pictomat_add_test(test_dbus_run NEEDS_BINARY SOURCES DBusRunTest.cpp LIBS pictomat_app Qt6::Xml)

# The hosts that read the menu their own way, each on a display of its own.
pictomat_add_test(test_tray_hosts NEEDS_BINARY SOURCES TrayHostTest.cpp LIBS pictomat_app)
add_dependencies(test_tray_hosts status_notifier_watcher_standin)
target_compile_definitions(test_tray_hosts PRIVATE
  WATCHER_STANDIN="$<TARGET_FILE:status_notifier_watcher_standin>")
