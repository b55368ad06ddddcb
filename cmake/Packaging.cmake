# SPDX-License-Identifier: Apache-2.0
# Installation (`cmake --install`) and the Debian package (`cpack -G DEB`).
include(GNUInstallDirs)

install(TARGETS Ravelsign Ravelverify Ravelhsm Ravelinfo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The CMake package (find_package(Ravelsign 1.2 CONFIG)). It goes under
# lib/cmake, not the multiarch folder, so that a cross build for a
# microcontroller finds it; its version file fits any architecture, since
# the tools run on the build machine.
include(CMakePackageConfigHelpers)
set(RAVEL_CMAKE_PACKAGE_DIR lib/cmake/Ravelsign)
configure_package_config_file(cmake/RavelsignConfig.cmake.in ${PROJECT_BINARY_DIR}/RavelsignConfig.cmake
  INSTALL_DESTINATION ${RAVEL_CMAKE_PACKAGE_DIR} PATH_VARS CMAKE_INSTALL_BINDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RavelsignConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${PROJECT_BINARY_DIR}/RavelsignConfig.cmake ${PROJECT_BINARY_DIR}/RavelsignConfigVersion.cmake
              cmake/RavelsignFunctions.cmake cmake/RavelsignSignStep.cmake
              cmake/RavelsignInputsStamp.cmake cmake/RavelsignExampleKey.cmake
        DESTINATION ${RAVEL_CMAKE_PACKAGE_DIR})

# Man pages carry the version and are installed compressed, as man-db reads them.
find_program(GZIP gzip)
set(_man_pages)
foreach(page Ravelsign Ravelverify Ravelhsm Ravelinfo)
  set(_page ${PROJECT_BINARY_DIR}/man/${page}.1)
  configure_file(${PROJECT_SOURCE_DIR}/man/${page}.1 ${_page} @ONLY)
  if(GZIP)
    add_custom_command(OUTPUT ${_page}.gz COMMAND ${GZIP} -9nfk ${_page} DEPENDS ${_page}
                       COMMENT "Compressing the ${page} man page")
    set(_page ${_page}.gz)
  endif()
  list(APPEND _man_pages ${_page})
endforeach()
add_custom_target(ravel_man_pages ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(RAVEL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ravelsign)
# The README links the guides under docs/: they go beside it.
install(FILES README.md DESTINATION ${RAVEL_DOC_DIR})
install(DIRECTORY docs DESTINATION ${RAVEL_DOC_DIR})
# Debian wants the licence as a machine-readable copyright file and the
# package history as a compressed changelog beside the documentation.
install(FILES cmake/debian/copyright DESTINATION ${RAVEL_DOC_DIR})
set(_changelog ${PROJECT_BINARY_DIR}/debian/changelog)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${_changelog} @ONLY)
if(GZIP)
  add_custom_command(OUTPUT ${_changelog}.gz COMMAND ${GZIP} -9nfk ${_changelog} DEPENDS ${_changelog}
                     COMMENT "Compressing the changelog")
  add_custom_target(ravel_changelog ALL DEPENDS ${_changelog}.gz)
  install(FILES ${_changelog}.gz DESTINATION ${RAVEL_DOC_DIR})
endif()
install(FILES examples/sample.bin examples/sample_info.txt DESTINATION ${RAVEL_DOC_DIR}/examples)
# The JSON Schema of Ravelverify --json, for pipelines that validate what they archive.
install(FILES share/ravelsign/ravelverify.schema.json DESTINATION ${CMAKE_INSTALL_DATADIR}/ravelsign)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravelsign)
set(CPACK_PACKAGE_VENDOR Ravelsign)
set(RAVEL_PACKAGE_CONTACT "Ravelsign developers <developers@ravelsign.dev>" CACHE STRING
    "Maintainer of the Debian package")
set(CPACK_PACKAGE_CONTACT "${RAVEL_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "signs microcontroller boot images into secure boot images")
set(CPACK_PACKAGE_DESCRIPTION "Ravelsign reads an information file (load addresses, an ECDSA P-256 key
pair) and a raw boot image, marks the image's header, builds and signs a
272-byte INFO block (SHA-256, ECDSA P-256) and writes both as one Intel HEX
file ready to flash. Ravelverify checks a signed image the way the device
will. Ravelhsm signs with a key held in a PKCS#11 token or by an external
signer; Ravelinfo makes, converts and checks information files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# dpkg-shlibdeps finds the runtime libraries the executables link against,
# the mbed TLS crypto library among them: that release's own package
# (libmbedcrypto7 on Debian 12, libmbedcrypto16 on Debian 13).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# cpack stamps the package's files and archive members with the build time
# it finds in its environment. It runs apart from this configure step, and
# perhaps commits later: the file it reads first takes the time anew.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackReproducible.cmake)
file(CONFIGURE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} @ONLY CONTENT [[
set(RAVEL_SOURCE_DIR "@PROJECT_SOURCE_DIR@")
include("@PROJECT_SOURCE_DIR@/cmake/SourceDateEpoch.cmake")
set(ENV{SOURCE_DATE_EPOCH} ${RAVEL_SOURCE_DATE_EPOCH})
]])
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebMemberModes.cmake)
include(CPack)
