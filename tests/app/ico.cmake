# "pictomat ico", "iconset" and "hicolor" as a process, checked by icotool, Pillow and icns2png.
pictomat_add_test(test_ico_command NEEDS_BINARY SOURCES IcoCommandTest.cpp)
