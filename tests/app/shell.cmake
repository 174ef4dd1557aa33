# The program from a terminal: standard output and error, exit status, help,
# completion (included from this folder's CMakeLists.txt).
pictomat_add_test(test_shell NEEDS_BINARY SOURCES ShellTest.cpp)
