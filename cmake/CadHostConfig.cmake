# The cadhost SDK for modules built outside this project:
#
#   find_package(CadHost REQUIRED)            # with CMAKE_PREFIX_PATH at the installation
#   cadhost_add_module(mymodule SOURCES mymodule.cpp)
#
# makes mymodule.arx the way the host loads modules: a shared object loaded with dlopen, built
# against the SDK headers ("aced.h", "dbsymtb.h", ...) and libcadhost.so, carrying the API
# version the host asks for, and exporting only what it marks for export (acrxEntryPoint).

get_filename_component(_cadhost_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET CadHost::cadhost)
    add_library(CadHost::cadhost SHARED IMPORTED)
    set_target_properties(CadHost::cadhost PROPERTIES
        IMPORTED_LOCATION "${_cadhost_root}/lib/libcadhost.so"
        INTERFACE_INCLUDE_DIRECTORIES "${_cadhost_root}/include/cadhost-sdk"
        INTERFACE_COMPILE_FEATURES cxx_std_20)

    # acrxGetApiVersion, linked into every module.
    add_library(CadHost::module_support OBJECT IMPORTED)
    set_target_properties(CadHost::module_support PROPERTIES
        IMPORTED_OBJECTS "${_cadhost_root}/lib/cadhost-sdk/module_api_version.o")
endif()

function(cadhost_add_module name)
    cmake_parse_arguments(MODULE "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${name} MODULE ${MODULE_SOURCES})
    set_target_properties(${name} PROPERTIES
        PREFIX "" SUFFIX ".arx"
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_link_libraries(${name} PRIVATE CadHost::cadhost CadHost::module_support
                                          ${MODULE_LIBRARIES})
endfunction()
