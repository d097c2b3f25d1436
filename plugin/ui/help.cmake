# The plug-in's version text and help file path, read from the module's own file (no windows).
# Included from plugin/CMakeLists.txt; the module and the tests link it.
add_library(lnkhold_help STATIC ${CMAKE_CURRENT_LIST_DIR}/version_info.cpp)
lnkhold_target(lnkhold_help)
set_target_properties(lnkhold_help PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_link_libraries(lnkhold_help PUBLIC platform)
