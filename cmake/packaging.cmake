# The packages cpack makes in a release build folder: on Linux a Debian
# package (cpack -G DEB, heapwise_<version>_<arch>.deb), for Windows a zip of
# the program with a README, the licence and the notices of the compiler's
# runtime code linked into the program (cpack -G ZIP in the mingw-release
# folder, heapwise-<version>-win32.zip; in mingw64-release, -win64.zip).
# Name, version, summary and web address come from project().
set(CPACK_PACKAGE_VENDOR "The Heapwise developers")
set(CPACK_PACKAGE_CONTACT "${HEAPWISE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    # The 32-bit program runs on every Windows; the 64-bit one where 32-bit
    # support is removed.
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(HEAPWISE_WINDOWS_BITS 64)
        set(HEAPWISE_WINDOWS_RUNS_ON "64-bit Windows, also where 32-bit programs cannot run")
    else()
        set(HEAPWISE_WINDOWS_BITS 32)
        set(HEAPWISE_WINDOWS_RUNS_ON "32-bit and 64-bit Windows")
    endif()
    set(CPACK_PACKAGE_FILE_NAME heapwise-${PROJECT_VERSION}-win${HEAPWISE_WINDOWS_BITS})
    # Texts for Notepad, with Windows line ends.
    configure_file(resources/windows-readme.txt ${HEAPWISE_GENERATED_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(LICENSE ${HEAPWISE_GENERATED_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(resources/windows-third-party.txt ${HEAPWISE_GENERATED_DIR}/THIRD-PARTY.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${HEAPWISE_GENERATED_DIR}/README.txt ${HEAPWISE_GENERATED_DIR}/LICENSE.txt
        ${HEAPWISE_GENERATED_DIR}/THIRD-PARTY.txt DESTINATION .)
else()
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
endif()
include(CPack)
