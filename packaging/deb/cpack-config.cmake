# Read by cpack for each package it builds.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_PICTOMAT_UPSTREAM_VERSION STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "packaging/deb/changelog starts at version ${CPACK_PICTOMAT_UPSTREAM_VERSION}, "
                      "but the program is ${CPACK_PACKAGE_VERSION}: add a changelog entry for it")
endif()
