# Sources read at their best (a Windows icon, a fractional drawing, the drawing budget), as a process.
pictomat_add_test(test_sources_at_their_best NEEDS_BINARY SOURCES SourcesAtTheirBestTest.cpp)
