# "Make Icon for File" and the image exports, through the dispatcher.
pictomat_add_test(test_makeicon SOURCES MakeIconTest.cpp ExportReadBackTest.cpp MakeIconSupport.cpp MakeIconSupport.h
  LIBS pictomat_app)
# The same path through the built executable, apart so that a broken binary
# does not hide the results above.
pictomat_add_test(test_makeicon_cli NEEDS_BINARY SOURCES MakeIconCliTest.cpp MakeIconSupport.cpp MakeIconSupport.h
  LIBS pictomat_app)
# What commands make of unusual inputs: very large pictures, bombs, misnamed
# files, icons that draw nothing, shared icons, FIFOs among the items.
pictomat_add_test(test_media_input NEEDS_BINARY SOURCES MediaInputTest.cpp MakeIconSupport.cpp MakeIconSupport.h
  LIBS pictomat_app)
# Inputs that cost far more than their size: many-element drawings on every
# path that draws one, cut interlaced pictures.
pictomat_add_test(test_hostile_drawing NEEDS_BINARY SOURCES HostileDrawingTest.cpp LIBS pictomat_commands)
# Photos and pages whose structure promises more than they hold, refused
# before libheif or poppler reads them, through the command and the reader.
pictomat_add_test(test_hostile_picture NEEDS_BINARY SOURCES HostilePictureTest.cpp LIBS pictomat_commands)
