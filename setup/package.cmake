# Lays out the installable package folder: the program, its licence text and file list, and
# those of the plug-in's files that exist so far (each missing one is named in the output).
# Called with -DPACKAGE_DIR, -DREQUIRED_FILES and -DOPTIONAL_FILES (lists separated by "|").
file(MAKE_DIRECTORY "${PACKAGE_DIR}")
string(REPLACE "|" ";" required "${REQUIRED_FILES}")
string(REPLACE "|" ";" optional "${OPTIONAL_FILES}")
foreach(file IN LISTS required)
    file(COPY "${file}" DESTINATION "${PACKAGE_DIR}")
endforeach()
foreach(file IN LISTS optional)
    if(EXISTS "${file}")
        file(COPY "${file}" DESTINATION "${PACKAGE_DIR}")
    else()
        message(STATUS "package: ${file} does not exist yet, left out")
    endif()
endforeach()
