# "pictomat appicons" as a process, its sets read back by each platform's tools.
pictomat_add_test(test_appicons NEEDS_BINARY SOURCES AppIconsTest.cpp)
