# What is installed beside the Linux program to read: the manual page, made
# from docs/heapwise.1.in and the texts of --help (shell/print/usage.h), and
# the copyright and changelog files a Debian package carries. All are made in
# HEAPWISE_GENERATED_DIR; the manual page and the changelog are installed
# gzipped, as Debian's policy asks.

# <file>.gz beside <file>, with no name or time stamp in it, so that building
# twice gives the same bytes.
function(heapwise_gzip file)
    add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9 -n -f -k ${file} DEPENDS ${file} VERBATIM)
endfunction()

add_executable(make_manual shell/print/make_manual.cpp)
target_include_directories(make_manual PRIVATE ${PROJECT_SOURCE_DIR})
heapwise_warnings(make_manual)
configure_file(docs/heapwise.1.in ${HEAPWISE_GENERATED_DIR}/heapwise.1.in @ONLY)
add_custom_command(OUTPUT ${HEAPWISE_GENERATED_DIR}/heapwise.1
    COMMAND make_manual ${HEAPWISE_GENERATED_DIR}/heapwise.1.in ${HEAPWISE_GENERATED_DIR}/heapwise.1
    DEPENDS make_manual ${HEAPWISE_GENERATED_DIR}/heapwise.1.in VERBATIM)
heapwise_gzip(${HEAPWISE_GENERATED_DIR}/heapwise.1)

configure_file(resources/debian-changelog.in ${HEAPWISE_GENERATED_DIR}/changelog @ONLY)
heapwise_gzip(${HEAPWISE_GENERATED_DIR}/changelog)

# The copyright file in Debian's machine-readable format, following LICENSE:
# its first paragraph gives the copyright lines, the rest is the licence's
# text, each line indented by one space and an empty line written " .".
file(STRINGS LICENSE license_lines)
set(HEAPWISE_COPYRIGHT)
set(HEAPWISE_LICENSE_TEXT)
set(in_notice TRUE)
foreach(line IN LISTS license_lines)
    if(in_notice AND line STREQUAL "")
        set(in_notice FALSE)
    elseif(in_notice)
        string(REGEX REPLACE "^Copyright \\(c\\) " "" line "${line}")
        list(APPEND HEAPWISE_COPYRIGHT "${line}")
    elseif(line STREQUAL "")
        string(APPEND HEAPWISE_LICENSE_TEXT "\n .")
    else()
        string(APPEND HEAPWISE_LICENSE_TEXT "\n ${line}")
    endif()
endforeach()
list(JOIN HEAPWISE_COPYRIGHT "\n " HEAPWISE_COPYRIGHT)
configure_file(resources/debian-copyright.in ${HEAPWISE_GENERATED_DIR}/copyright @ONLY)

add_custom_target(heapwise_documents ALL
    DEPENDS ${HEAPWISE_GENERATED_DIR}/heapwise.1.gz ${HEAPWISE_GENERATED_DIR}/changelog.gz)
install(FILES ${HEAPWISE_GENERATED_DIR}/heapwise.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${HEAPWISE_GENERATED_DIR}/copyright ${HEAPWISE_GENERATED_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
