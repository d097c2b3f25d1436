# Compiler settings shared by every target of the project.

if(LNKHOLD_SANITIZE OR LNKHOLD_FUZZ)
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_compile_options(${_san})
    add_link_options(${_san})
endif()

# Warnings are errors in project code (third-party headers are included as system headers).
function(lnkhold_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wcast-qual -Wformat=2 -Werror)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
