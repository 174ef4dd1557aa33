#pragma once

// What the web layer takes from the libraries it opens when first needed
// (files/SharedLibrary.h): one list of functions per library, named as in
// files/LibraryNames.h.

// libxml2's HTML parser: the head of a page, read with the first page.
#define PICTOMAT_XML2_FUNCTIONS(X)                                                                                     \
    X(htmlCreatePushParserCtxt)                                                                                        \
    X(htmlCtxtUseOptions)                                                                                              \
    X(htmlParseChunk)                                                                                                  \
    X(htmlFreeParserCtxt)                                                                                              \
    X(xmlStopParser)

// Our module over Qt's network library (HttpModule.h): the HTTP exchange,
// opened with the first fetch from the web.
#define PICTOMAT_WEB_FUNCTIONS(X)                                                                                      \
    X(pictomat_http_get)                                                                                               \
    X(pictomat_http_treat_as_public)
