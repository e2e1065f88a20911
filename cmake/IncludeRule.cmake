# The include rule, read by cmake/Layers.cmake when the build is configured and by
# cmake/CheckIncludes.cmake (a test, run again on every test run, so an include added
# after the configuration is caught too).
#
# A library's sources include only headers of their own library or of the libraries it
# links (directly or through others): never from samples/ or tests/, and never a header of
# a library it does not link, even one that sits in a folder it can see. An include is
# looked for where the compiler looks (beside the including file for "...", then the
# include folders); one found outside the source tree (Qt, the C library, a generated
# file) is not the rule's business.
#
# The data of a check, one set of variables a library (L):
#   QI_ROOT            the source tree
#   QI_TARGETS         the libraries checked
#   QI_<L>_SOURCES     its source files, absolute
#   QI_<L>_DIRS        the folders its includes are looked for in
#   QI_<L>_ALLOWED     the headers it may include: its own and those of what it links

# quadrello_include_faults(OUT): the faults of the data in scope, one line each.
function(quadrello_include_faults out)
    set(faults "")
    foreach(target IN LISTS QI_TARGETS)
        foreach(dir IN LISTS QI_${target}_DIRS)
            foreach(beside samples tests)
                string(FIND "${dir}/" "${QI_ROOT}/${beside}/" at)
                if(at EQUAL 0)
                    list(APPEND faults "${target} looks for its includes in ${dir}")
                endif()
            endforeach()
        endforeach()
        foreach(source IN LISTS QI_${target}_SOURCES)
            if(NOT EXISTS "${source}")
                continue()
            endif()
            get_filename_component(here "${source}" DIRECTORY)
            file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
            foreach(line IN LISTS lines)
                string(REGEX MATCH "#[ \t]*include[ \t]*([<\"])([^>\"]+)" _ "${line}")
                set(name "${CMAKE_MATCH_2}")
                set(places ${QI_${target}_DIRS})
                if(CMAKE_MATCH_1 STREQUAL "\"")
                    list(PREPEND places "${here}")
                endif()
                set(found "")
                foreach(place IN LISTS places)
                    if(EXISTS "${place}/${name}" AND NOT IS_DIRECTORY "${place}/${name}")
                        file(REAL_PATH "${place}/${name}" found)
                        break()
                    endif()
                endforeach()
                if(NOT found)
                    continue()
                endif()
                string(FIND "${found}" "${QI_ROOT}/" at)
                if(NOT at EQUAL 0)
                    continue()
                endif()
                if(NOT found IN_LIST QI_${target}_ALLOWED)
                    file(RELATIVE_PATH shown_source "${QI_ROOT}" "${source}")
                    file(RELATIVE_PATH shown_found "${QI_ROOT}" "${found}")
                    string(CONCAT fault "${shown_source} (${target}) includes ${shown_found}, "
                                        "which is neither its library's nor one it links")
                    list(APPEND faults "${fault}")
                endif()
            endforeach()
        endforeach()
    endforeach()
    set(${out} ${faults} PARENT_SCOPE)
endfunction()

# quadrello_stop_on_include_faults(): stops with every fault of the data in scope.
function(quadrello_stop_on_include_faults)
    quadrello_include_faults(faults)
    if(faults)
        list(JOIN faults "\n  " shown)
        message(FATAL_ERROR "Includes against the layers (ARCHITECTURE.md):\n  ${shown}")
    endif()
endfunction()
