# The Windows icon and the Linux icon set through the built executable.
pictomat_add_test(test_platform_icons NEEDS_BINARY SOURCES PlatformIconsTest.cpp MakeIconSupport.cpp MakeIconSupport.h
  LIBS pictomat_app)
