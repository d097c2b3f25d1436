# What `cmake --install` puts under the prefix:
#   bin/cadhost                       the host program
#   lib/libcadhost.so, libcadhost_ui.so
#   share/lnkhold/package/            the plug-in's installable package (setup, the module,
#                                     its help, licence and file list): run setup from there
#   include/cadhost-sdk/              the SDK headers modules include ("aced.h", ...)
#   lib/cadhost-sdk/module_api_version.o   linked into every module
#   lib/cmake/CadHost/                the CMake package: find_package(CadHost), cadhost_add_module
include(GNUInstallDirs)

set_target_properties(cadhost_program cadhost_ui PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
install(TARGETS cadhost_program RUNTIME DESTINATION bin)
install(TARGETS cadhost cadhost_ui LIBRARY DESTINATION lib)
install(DIRECTORY ${CMAKE_BINARY_DIR}/package/ DESTINATION share/lnkhold/package
        USE_SOURCE_PERMISSIONS)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/cadhost/sdk/ DESTINATION include/cadhost-sdk
        FILES_MATCHING PATTERN "*.h")
# The one host header the SDK's database header builds on.
install(FILES ${PROJECT_SOURCE_DIR}/cadhost/db/dxf_tag.h
        DESTINATION include/cadhost-sdk/cadhost/db)
install(FILES $<TARGET_OBJECTS:cadhost_module> DESTINATION lib/cadhost-sdk
        RENAME module_api_version.o)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/CadHostConfig.cmake DESTINATION lib/cmake/CadHost)
