# `cpack -G DEB` in the build folder: logmend_VERSION_ARCH.deb with the two
# programs, their manual pages and the licence, installed under /usr. The
# library dependencies are found by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME logmend)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the logmend and bytes2value authors")
set(CPACK_PACKAGE_CONTACT "the logmend and bytes2value authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "apply annotation edit logs to WFDB annotation files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "logmend applies an annotation editor's edit log to a record's WFDB\nannotation file and writes the result as a new annotation file;\nannlist lists annotation files in the columns of the WFDB tools.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYING)
include(CPack)
