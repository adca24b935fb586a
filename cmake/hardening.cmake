# The hardening a distribution expects of a release: fortified calls to the C
# library, stack protectors, and (Linux) a read-only relocation table bound at
# start-up, (Windows) a relocatable image with non-executable data.
option(HEAPWISE_HARDEN "Build with the release hardening flags" OFF)
if(HEAPWISE_HARDEN)
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-U_FORTIFY_SOURCE> $<$<COMPILE_LANGUAGE:CXX>:-D_FORTIFY_SOURCE=2>
        $<$<COMPILE_LANGUAGE:CXX>:-fstack-protector-strong>)
    if(WIN32)
        # The program is linked statically, and so is the stack protector's
        # library; a 64-bit image may take addresses above 4 GB too.
        add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat)
        if(CMAKE_SIZEOF_VOID_P EQUAL 8)
            add_link_options(-Wl,--high-entropy-va)
        endif()
    else()
        add_link_options(-fstack-protector-strong -Wl,-z,relro -Wl,-z,now)
    endif()
endif()
