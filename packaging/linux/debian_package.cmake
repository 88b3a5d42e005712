# The Debian package, built by `make package` (CPack) into build/.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "the gridshow authors <gridshow@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audiovisual show in a grid of grey cells")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "One window slides in, fills with a grid of grey cells used as big pixels\n"
  "and shows four effects (scrolling banners, a figure, a plasma) while a\n"
  "four-channel tracker song plays, then slides out, and the program ends by\n"
  "itself. Escape ends it early. modrender renders tracker modules to WAV\n"
  "files through the same player.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A show, not a game: "games" would ask for /usr/games, off root's PATH.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the libraries the programs link (the SDL2 runtime,
# the C and C++ runtimes) and writes the Depends line from them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
