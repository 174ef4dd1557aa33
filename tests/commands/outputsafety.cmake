# What the write side does with the user's files, through the built executable.
pictomat_add_test(test_output_safety NEEDS_BINARY SOURCES OutputSafetyTest.cpp MakeIconSupport.cpp MakeIconSupport.h
  LIBS pictomat_app)
