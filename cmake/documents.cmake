# What is installed beside the Linux program to read: the manual page, made
# from docs/heapwise.1.in and the texts of --help (shell/print/usage.h), in
# HEAPWISE_GENERATED_DIR and installed gzipped, as Debian's policy asks.

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

add_custom_target(heapwise_documents ALL DEPENDS ${HEAPWISE_GENERATED_DIR}/heapwise.1.gz)
install(FILES ${HEAPWISE_GENERATED_DIR}/heapwise.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
