# The log channel as a user and a maintainer meet it through the program.
pictomat_add_test(test_log NEEDS_BINARY SOURCES LogTest.cpp)
