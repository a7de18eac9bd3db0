# Manual pages, bash completion and the Debian package.
#
# The package is made by CPack from the install rules (cpack -G DEB in a
# build tree; scripts/package.sh does both) rather than from a debian/
# folder: the install rules are the one list of what goes where, so
# `cmake --install` and the package cannot drift apart, and no second build
# system (debhelper's) has to be kept in step with CMake. dpkg-shlibdeps
# still computes Depends, and the MIME and desktop databases are updated by
# the file triggers of shared-mime-info and desktop-file-utils, so the
# package needs no maintainer scripts.

set(ZAZOZAV_PACKAGE_MAINTAINER "Marrow Viewer maintainers <maintainers@marrow-viewer.example>"
  CACHE STRING "Maintainer field of the Debian package and its changelog")

# Manual pages: the version goes in from the project, then each page is
# compressed as Debian wants it (-n: no name or time stamp, so the same
# page gives the same bytes).
set(ZAZOZAV_MAN_PAGES zazozav-cli)
if(ZAZOZAV_BUILD_GUI AND NOT ZAZOZAV_FUZZ)
  list(APPEND ZAZOZAV_MAN_PAGES zazozav)
endif()
set(ZAZOZAV_MAN_OUTPUTS)
foreach(page ${ZAZOZAV_MAN_PAGES})
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.1.gz
    COMMAND gzip -9n -c ${page}.1 > ${page}.1.gz
    DEPENDS ${PROJECT_BINARY_DIR}/man/${page}.1
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man VERBATIM)
  list(APPEND ZAZOZAV_MAN_OUTPUTS ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
endforeach()

set(CPACK_PACKAGE_NAME marrow-viewer)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZAZOZAV_PACKAGE_MAINTAINER})
set(ZAZOZAV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
  COMMAND gzip -9n -c changelog.Debian > changelog.Debian.gz
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging VERBATIM)
add_custom_target(zazozav_docs ALL DEPENDS ${ZAZOZAV_MAN_OUTPUTS} ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)

install(FILES ${ZAZOZAV_MAN_OUTPUTS} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/cli/zazozav-cli.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zazozav-cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
  DESTINATION ${ZAZOZAV_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for Oracle optimizer (10053) traces")
set(CPACK_PACKAGE_DESCRIPTION
  "Marrow Viewer shows an Oracle optimizer trace, the file the database writes
when event 10053 traces its cost-based optimizer, in a syntax-highlighted
editor beside an outline of its sections: statements, query blocks,
parameters, transformations, join orders and final costs. It re-formats
every final query, lists the query blocks' costs and compares two traces.
.
The package also holds zazozav-cli, which prints outlines, key points,
summaries and comparisons of traces and formats SQL without a display.")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
