# lnkhold_version_resource(<target> <description file>)
#
# Gives a library or program a Windows version resource (VS_VERSIONINFO), made at build time
# from a small text description (see cmake/version_resource.py for its statements) and carried
# in the ELF section ".rsrc.version" of the target's file, where the platform's version calls
# (GetFileVersionInfoA, VerQueryValueA) find it. The bytes come in through a generated source
# file of the target itself, so they are linked whatever the target's kind and visibility.
# Call it in the directory that defines the target.
set(LNKHOLD_VERSION_RESOURCE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/version_resource.py)

function(lnkhold_version_resource target description)
    if(NOT TARGET ${target})
        message(FATAL_ERROR "lnkhold_version_resource: no target '${target}'")
    endif()
    get_filename_component(description ${description} ABSOLUTE
                           BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_resource)
    add_custom_command(
        OUTPUT ${out}.bin ${out}.cpp
        COMMAND /usr/bin/python3 ${LNKHOLD_VERSION_RESOURCE_SCRIPT} ${description} ${out}.bin
                ${out}.cpp
        DEPENDS ${description} ${LNKHOLD_VERSION_RESOURCE_SCRIPT}
        COMMENT "Version resource of ${target} from ${description}"
        VERBATIM)
    target_sources(${target} PRIVATE ${out}.cpp)
    # The resource bytes as a file of their own, for whoever wants to look at them.
    set_target_properties(${target} PROPERTIES LNKHOLD_VERSION_RESOURCE ${out}.bin)
endfunction()
