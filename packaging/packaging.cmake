# Installing and packaging. `cmake --install build --prefix P` installs the program for a
# desktop: P/bin/se-retimer and se-retimer-cli, the data package in P/share/se-retimer/,
# the desktop entry, the icon in the hicolor theme and a manual page for each program.
# `cpack -G DEB` in the build folder makes a Debian package of the same files under /usr.
# The program finds its data in <prefix>/share/se-retimer from <prefix>/bin
# (framework/platform/home.h): the folders below keep that layout whatever the prefix.
install(TARGETS se-retimer se-retimer-cli RUNTIME DESTINATION bin)
install(FILES ${SE_PACKAGE} DESTINATION share/se-retimer/Data)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/se-retimer.desktop DESTINATION share/applications)
install(DIRECTORY ${SE_ICONS}/hicolor DESTINATION share/icons)
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/se-retimer.1 ${CMAKE_SOURCE_DIR}/docs/man/se-retimer-cli.1
  DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME se-retimer)
set(CPACK_PACKAGE_VENDOR "SE Retimer Project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "change how long a WAV sound effect plays")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "SE Retimer Project")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The synopsis is the summary above; this is the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"SE Retimer is a small desktop tool for people who make sound effects: it
changes how long a WAV clip plays, nearest-neighbour on whole frames, so pitch
and speed change together. It shows the clip's properties and waveform, picks
a new duration in 100 ms steps, plays and saves the result. Its interface is
in Japanese. se-retimer-cli makes the same change as a batch tool.")
# The libraries' packages (SDL2, GTK 3, FreeType, fontconfig, the FFmpeg libraries) come
# from the executables through dpkg-shlibdeps; the interface needs a Japanese font, and
# the pictures folder is asked of xdg-user-dir where it is installed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-user-dirs")
include(CPack)
