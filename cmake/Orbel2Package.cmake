# Installing the engine and its demo, the CMake package and the pkg-config
# file that other programs build on, and the Debian package of it all.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The headers a session needs: all but the device wrapper, the platform
# layer beneath it, and what only the video system itself uses. None of them
# needs an SDL header (tests/headers checks each alone).
set(ORBEL2_INTERNAL_HEADERS orbel2/video/Dx8gfx.h orbel2/video/OB_GlyphCache.h orbel2/video/OB_PlatformErrors.h)
file(GLOB ORBEL2_PUBLIC_HEADERS RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/orbel2/kernel/*.h ${PROJECT_SOURCE_DIR}/orbel2/vfs/*.h ${PROJECT_SOURCE_DIR}/orbel2/console/*.h
  ${PROJECT_SOURCE_DIR}/orbel2/physics/*.h ${PROJECT_SOURCE_DIR}/orbel2/session/*.h ${PROJECT_SOURCE_DIR}/orbel2/video/*.h)
list(REMOVE_ITEM ORBEL2_PUBLIC_HEADERS ${ORBEL2_INTERNAL_HEADERS})

# Installed as they lie in the source tree, under include/orbel2/, so that
# "orbel2/session/Session.h" names the same file for the engine and for a game.
set(ORBEL2_INCLUDE_DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
foreach(header IN LISTS ORBEL2_PUBLIC_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${ORBEL2_INCLUDE_DESTINATION}/${folder})
endforeach()

set_target_properties(orbel2engine PROPERTIES EXPORT_NAME engine)
set_target_properties(orbel2physics PROPERTIES EXPORT_NAME physics)
install(TARGETS orbel2engine orbel2physics EXPORT Orbel2Targets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS orbel2 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(ORBEL2_CMAKE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orbel2)
install(EXPORT Orbel2Targets NAMESPACE Orbel2:: DESTINATION ${ORBEL2_CMAKE_DESTINATION})
configure_package_config_file(cmake/Orbel2Config.cmake.in ${PROJECT_BINARY_DIR}/Orbel2Config.cmake
  INSTALL_DESTINATION ${ORBEL2_CMAKE_DESTINATION})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/Orbel2ConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/Orbel2Config.cmake ${PROJECT_BINARY_DIR}/Orbel2ConfigVersion.cmake
  DESTINATION ${ORBEL2_CMAKE_DESTINATION})

# The prefix is found from where the file lies, so the package can be
# installed under any prefix.
file(RELATIVE_PATH ORBEL2_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/orbel2.pc.in ${PROJECT_BINARY_DIR}/orbel2.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orbel2.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The documentation keeps the source tree's layout, so that its links work
# where it is installed as they do here (tools/check-links.sh follows them).
set(ORBEL2_DOC_DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orbel2)
install(FILES README.md LICENSE DESTINATION ${ORBEL2_DOC_DESTINATION})
install(DIRECTORY docs/ DESTINATION ${ORBEL2_DOC_DESTINATION}/docs FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
install(DIRECTORY examples/ DESTINATION ${ORBEL2_DOC_DESTINATION}/examples
  FILES_MATCHING PATTERN "*.cpp" PATTERN "*.h" PATTERN "CMakeLists.txt")

# The demo on the desktop: its entry (StartupWMClass is the window's X11
# class, the program's name), its icon and its manual page. The icon's
# pictures are drawn from the SVG by tools/draw-icons.sh.
install(FILES dist/orbel2.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES dist/orbel2.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES dist/icons/orbel2-${size}.png RENAME orbel2.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# The manual page and the changelog go compressed, as Debian keeps them;
# the copyright file is the licence in Debian's machine-readable form.
set(CPACK_PACKAGE_CONTACT "The Orbel2 developers <orbel2-dev@lists.orbel2.invalid>")
configure_file(dist/orbel2.1.in ${PROJECT_BINARY_DIR}/dist/orbel2.1 @ONLY)
configure_file(dist/changelog.in ${PROJECT_BINARY_DIR}/dist/changelog @ONLY)
file(READ LICENSE ORBEL2_LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" ORBEL2_COPYRIGHT_LINE "${ORBEL2_LICENSE}")
set(ORBEL2_COPYRIGHT "${CMAKE_MATCH_1}")
# The licence's text after its copyright line, as a field's continuation:
# each line indented by a space, an empty one written as " .".
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n+" "" ORBEL2_LICENSE_TEXT "${ORBEL2_LICENSE}")
string(STRIP "${ORBEL2_LICENSE_TEXT}" ORBEL2_LICENSE_TEXT)
string(REPLACE "\n\n" "\n.\n" ORBEL2_LICENSE_TEXT "${ORBEL2_LICENSE_TEXT}")
string(REPLACE "\n" "\n " ORBEL2_LICENSE_TEXT " ${ORBEL2_LICENSE_TEXT}")
file(WRITE ${PROJECT_BINARY_DIR}/dist/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: Orbel2\n\n"
  "Files: *\nCopyright: ${ORBEL2_COPYRIGHT}\nLicense: Expat\n${ORBEL2_LICENSE_TEXT}\n")
foreach(compressed orbel2.1 changelog)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/dist/${compressed}.gz
    COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/dist/${compressed} > ${PROJECT_BINARY_DIR}/dist/${compressed}.gz
    DEPENDS ${PROJECT_BINARY_DIR}/dist/${compressed} VERBATIM)
endforeach()
add_custom_target(orbel2-dist ALL DEPENDS ${PROJECT_BINARY_DIR}/dist/orbel2.1.gz ${PROJECT_BINARY_DIR}/dist/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/dist/orbel2.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/dist/changelog.gz ${PROJECT_BINARY_DIR}/dist/copyright
  DESTINATION ${ORBEL2_DOC_DESTINATION})
install(FILES dist/lintian-overrides RENAME orbel2 DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides)

# cpack -G DEB: one package, orbel2_<version>_<arch>.deb, that depends on
# Debian's SDL2 libraries rather than bundling them; building sessions on
# it needs their -dev packages too, which it recommends.
set(CPACK_PACKAGE_NAME orbel2)
set(CPACK_PACKAGE_VENDOR "The Orbel2 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small real-time 2D game engine and its fixed-time-step demo")
# Debian's lines are at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "Orbel2 is a small real-time 2D game engine in C++ on SDL2, with a console,
a log, rigid-body physics in fixed steps and input recording. The package
holds the demo program orbel2, the engine's static libraries and headers,
its CMake and pkg-config files, and a guide to writing a game on it.")
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The engine to build games on, with its headers and static libraries; the
# demo is its example.
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsdl2-dev, libsdl2-ttf-dev, libsdl2-image-dev, libfontconfig-dev, pkg-config")
include(CPack)

# cmake --build --preset release --target docs: the API reference from the
# public headers, in build/<preset>/docs/html (Debian's doxygen). The
# headers' own // comments are the documentation; a filter hands them to
# doxygen as /// comments.
find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  set(DOXYGEN_PROJECT_NAME "Orbel2")
  set(DOXYGEN_PROJECT_BRIEF "A small real-time 2D game engine with a fixed-time-step loop")
  set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/docs)
  set(DOXYGEN_EXTRACT_ALL YES)
  set(DOXYGEN_EXTRACT_STATIC YES)
  set(DOXYGEN_FULL_PATH_NAMES YES)
  set(DOXYGEN_STRIP_FROM_PATH ${PROJECT_SOURCE_DIR})
  set(DOXYGEN_GENERATE_LATEX NO)
  set(DOXYGEN_QUIET YES)
  set(DOXYGEN_WARN_IF_UNDOCUMENTED NO)
  set(DOXYGEN_INPUT_FILTER ${PROJECT_SOURCE_DIR}/cmake/doxygen-comments.sh)
  set(DOXYGEN_USE_MDFILE_AS_MAINPAGE ${PROJECT_SOURCE_DIR}/docs/writing-a-session.md)
  list(TRANSFORM ORBEL2_PUBLIC_HEADERS PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE ORBEL2_DOC_INPUTS)
  doxygen_add_docs(docs ${ORBEL2_DOC_INPUTS} ${PROJECT_SOURCE_DIR}/docs/writing-a-session.md
    COMMENT "API reference in ${PROJECT_BINARY_DIR}/docs/html")
endif()
