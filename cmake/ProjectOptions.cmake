# Compiler settings shared by every target of the project.

if(LNKHOLD_SANITIZE OR LNKHOLD_FUZZ)
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_compile_options(${_san})
    add_link_options(${_san})
endif()
if(LNKHOLD_FUZZ)
    # Coverage instrumentation for every library, so the fuzz targets are guided through it.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Warnings are errors in project code (third-party headers are included as system headers).
function(lnkhold_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wcast-qual -Wformat=2 -Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # g++ 12 reports impossible memcpy overlaps inside std::string when optimising
        # (e.g. "literal" + std::string); the warning is noise there, so it stays off.
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
