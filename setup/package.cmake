# Lays out the installable package folder: the program, its licence text and file list, and
# the plug-in's files that the list names (the module and its help file). A missing file fails
# the build, so a package is never laid out without its module.
# Called with -DPACKAGE_DIR and -DPACKAGE_FILES (a list separated by "|").
file(MAKE_DIRECTORY "${PACKAGE_DIR}")
string(REPLACE "|" ";" files "${PACKAGE_FILES}")
foreach(file IN LISTS files)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "package: ${file} does not exist")
    endif()
    file(COPY "${file}" DESTINATION "${PACKAGE_DIR}")
endforeach()
