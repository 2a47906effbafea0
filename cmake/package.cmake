# `make package`: a Debian package of both programs, their help pages, desktop entry, icons,
# AppStream metainfo and manual pages, with its library dependencies worked out.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lumivale, Inc.")
set(CPACK_PACKAGE_CONTACT "Tavelo team <tavelo@lumivale.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build photo albums for Palm OS handhelds")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Tavelo Desktop turns photographs into a photo album for a Palm OS handheld.
Each picture is adjusted for the handheld's small screen (grey or colour
depth, brightness, contrast, dithering, a size limit and a crop window) and
given a title and a note; the album is written as one Palm database file or
queued for the next HotSync. The package also holds tavelo-cli, which builds
and inspects albums from the command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.lumivale.com/tavelo/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
