# "pictomat icns" as a process, checked by Pillow and icnsutils.
pictomat_add_test(test_icns_command NEEDS_BINARY SOURCES IcnsCommandTest.cpp)
