# Runs in the staging folder after the install and before the package is made:
# strips the programs, adds what Debian asks of every package and compresses
# the manual page.
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
file(COPY "${CPACK_PICTOMAT_DEB_DIR}/copyright" "${CPACK_PICTOMAT_DEB_DIR}/changelog" DESTINATION "${doc}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(RENAME "${doc}/changelog" "${doc}/changelog.Debian")
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${CPACK_PICTOMAT_DEB_DIR}/lintian-overrides" "${root}/share/lintian/overrides/${CPACK_PACKAGE_NAME}")
file(GLOB_RECURSE pages "${root}/share/man/*")
foreach(f "${doc}/changelog.Debian" ${pages})
  # -n leaves the name and time out of the header, so the package is reproducible.
  execute_process(COMMAND gzip -9nf "${f}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${f} failed")
  endif()
  file(CHMOD "${f}.gz" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()

# As Debian's own packages are stripped: no symbols, no compiler notes; the
# reading worker (libexec) and the modules loaded at run time as well (a
# shared object keeps the symbols it exports).
file(GLOB programs "${root}/bin/*" "${root}/libexec/*")
file(GLOB modules "${root}/${CPACK_PICTOMAT_MODULE_DIR}/*.so")
foreach(f ${programs} ${modules})
  file(READ "${f}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    set(keep)
    if(f MATCHES "\\.so$")
      set(keep --strip-unneeded)
    endif()
    execute_process(COMMAND "${CPACK_PICTOMAT_STRIP}" ${keep} --remove-section=.comment --remove-section=.note "${f}"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip ${f} failed")
    endif()
  endif()
endforeach()
