# The package cpack makes in a release build folder on Linux: a Debian
# package (cpack -G DEB, heapwise_<version>_<arch>.deb). Name, version,
# summary and web address come from project().
set(CPACK_PACKAGE_VENDOR "The Heapwise developers")
set(CPACK_PACKAGE_CONTACT "${HEAPWISE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)

if(NOT WIN32)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    # The Wayland platform plugin, and xdg-open for the About box's web page.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
    # The first line is the summary, from project(); the rest is the extended
    # description, whose lines Debian wants shorter than 80 columns.
    set(CPACK_PACKAGE_DESCRIPTION "Heapwise counts what you drop on its small window: files, folders,
their read-only, system and hidden attributes, the total size, the deepest
nesting and the longest path. Counts add up over every drop until Reset.

heapwise --print counts in a terminal, without a display.")
    include(CPack)
endif()
