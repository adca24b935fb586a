# What the version set in project() becomes for the files that carry it:
# resources/version.h for the programs, the Windows resources and the tests,
# and the release day in the two forms the metainfo, the manual page and the
# Debian changelog write it in.

# The version resource takes four numbers: 1.05 is 1, 5, 0, 0.
set(HEAPWISE_VERSION_COMMAS)
foreach(part MAJOR MINOR PATCH TWEAK)
    set(number 0)
    if(NOT "${PROJECT_VERSION_${part}}" STREQUAL "")
        math(EXPR number "${PROJECT_VERSION_${part}}")
    endif()
    list(APPEND HEAPWISE_VERSION_COMMAS ${number})
endforeach()
list(JOIN HEAPWISE_VERSION_COMMAS ", " HEAPWISE_VERSION_COMMAS)

set(HEAPWISE_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/resources/version.h.in ${HEAPWISE_GENERATED_DIR}/resources/version.h @ONLY)

# HEAPWISE_RELEASE_DATE (YYYY-MM-DD) as the Debian changelog writes it, with
# its day of the week: "Tue, 08 Dec 2026 00:00:00 +0000".
if(NOT HEAPWISE_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "HEAPWISE_RELEASE_DATE must be YYYY-MM-DD, not '${HEAPWISE_RELEASE_DATE}'")
endif()
set(year_text ${CMAKE_MATCH_1})
set(day_text ${CMAKE_MATCH_3})
math(EXPR year "${CMAKE_MATCH_1}")
math(EXPR month "${CMAKE_MATCH_2}")
math(EXPR day "${CMAKE_MATCH_3}")
# Sakamoto's method: 0 is Sunday.
set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR month_index "${month} - 1")
list(GET month_offsets ${month_index} month_offset)
if(month LESS 3)
    math(EXPR year "${year} - 1")
endif()
math(EXPR weekday "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${month_offset} + ${day}) % 7")
set(weekday_names Sun Mon Tue Wed Thu Fri Sat)
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET weekday_names ${weekday} weekday_name)
list(GET month_names ${month_index} month_name)
set(HEAPWISE_RELEASE_DATE_RFC2822 "${weekday_name}, ${day_text} ${month_name} ${year_text} 00:00:00 +0000")
