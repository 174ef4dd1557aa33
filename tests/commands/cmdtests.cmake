# Custom-icon and clipboard commands (included from this folder's CMakeLists.txt).
pictomat_add_test(test_customicon_commands NEEDS_BINARY SOURCES CustomIconCommandsTest.cpp CustomIconCommandsSupport.cpp CustomIconCommandsSupport.h LIBS pictomat_app)

# Every test here owns the X clipboard while it runs.
pictomat_add_test(test_clipboard_commands NEEDS_BINARY SOURCES ClipboardTest.cpp CustomIconCommandsSupport.cpp CustomIconCommandsSupport.h LIBS pictomat_app
  PROPERTIES RESOURCE_LOCK x11-display)
