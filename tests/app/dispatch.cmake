# Dispatcher and reveal tests (included from this folder's CMakeLists.txt).
pictomat_add_test(test_dispatch SOURCES DispatcherTest.cpp LIBS pictomat_app)

add_executable(file_manager_standin FileManagerStandIn.cpp)
target_link_libraries(file_manager_standin PRIVATE Qt6::DBus)
# Only one test at a time may own org.freedesktop.FileManager1 on the bus.
pictomat_add_test(test_reveal SOURCES RevealTest.cpp LIBS pictomat_app
  PROPERTIES RESOURCE_LOCK org.freedesktop.FileManager1)
add_dependencies(test_reveal file_manager_standin)
target_compile_definitions(test_reveal PRIVATE FILE_MANAGER_STANDIN="$<TARGET_FILE:file_manager_standin>")

pictomat_add_test(test_integration NEEDS_BINARY SOURCES IntegrationTest.cpp LIBS pictomat_app Qt6::Xml)

# Its clipboard server test owns the X clipboard while it runs.
pictomat_add_test(test_run NEEDS_BINARY SOURCES RunCommandTest.cpp PROPERTIES RESOURCE_LOCK x11-display)

# Progress and Stop: the tray's progress window on the X server, alerts that
# offer to stop, the terminal's progress line through a pseudo-terminal.
find_package(Qt6 REQUIRED COMPONENTS Test)
pictomat_add_test(test_progress NEEDS_BINARY PLATFORM xcb SOURCES ProgressTest.cpp LIBS pictomat_app Qt6::Test Qt6::Network
  PROPERTIES RESOURCE_LOCK x11-display)
