# The Debian package: `cpack` in a build folder (tools/package.sh) writes
# velmont-sorbel_VERSION_amd64.deb from what `cmake --install` puts under /usr.

# Debian keeps a package's changelog compressed beside its copyright.
set(SORBEL_CHANGELOG ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_command(OUTPUT ${SORBEL_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
  COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/data/debian/changelog > ${SORBEL_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/debian/changelog VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${SORBEL_CHANGELOG})
install(FILES ${SORBEL_CHANGELOG} data/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmont-sorbel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmont-sorbel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velmont Sorbel maintainers <maintainers@users.noreply.c-seed-6b72e441.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for SQL Server data files that needs no server")
# The synopsis line comes from the summary; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmont Sorbel opens SQL Server data files (.mdf with their .ndf files)
without any database server, even when they are damaged, and shows their
tables and rows (deleted rows included on request), keys and constraints,
and the SQL text of views, procedures, functions and triggers. It exports
tables as CSV, JSON lines or INSERT statements and whole files into SQLite,
and runs SQL over the tables in place.
.
The package holds the desktop program velmont-sorbel, the command sorbel and
the SQLite extension libsorbel_sqlite.so.")
# Dependencies from the shared libraries the programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/" "/\\\\.git/")
include(CPack)
