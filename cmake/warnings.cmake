# The warnings every target of ours is built with; errors when HEAPWISE_WERROR is on.
function(heapwise_warnings target)
    # C++ only: a target may hold a resource script too.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:
        -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 -Wundef -Wnon-virtual-dtor>)
    if(HEAPWISE_WERROR)
        target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Werror>)
    endif()
endfunction()
