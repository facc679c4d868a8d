# `cpack --config CPackConfig.cmake` in the build folder (or
# `bash scripts/dev.sh package`) makes corvane-encoder_<version>_<arch>.deb
# from this build's install. Its Depends are read off the binaries by
# dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane-encoder)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${CORVANE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The install step writes paths of the installed program into the units and
# the desktop entry: it must see the final prefix, with DESTDIR for staging.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch encoder from PCM WAV files to MP3")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CORVANE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/${CORVANE_PROGRAM_DIR})
# The summary above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Corvane MP3 Encoder queues WAV files (from a file dialog, by drag and drop,
or from a watched folder), encodes them with a choice of four encoders and
tags the results (ID3v2.3 and ID3v1), with progress for each file and for
the whole batch. It encodes several files at once, keeps its queue across a
restart or a crash, and several machines on a local network can share one
queue.
.
It runs with a window or without one (--headless), for scripts and as a
system service of an encoding farm; the package makes the service's user
and folder, but leaves the service disabled until it is set up.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
