# cmake -DDATA=FILE -P CheckIncludes.cmake: the include rule (IncludeRule.cmake) over the
# data written when the build was configured (or a test's own), on the sources as they
# are now. Fails, naming each fault, when an include breaks the rule.
cmake_minimum_required(VERSION 3.25)
if(NOT DATA)
    message(FATAL_ERROR "usage: cmake -DDATA=FILE -P CheckIncludes.cmake")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/IncludeRule.cmake)
include(${DATA})
quadrello_stop_on_include_faults()
list(LENGTH QI_TARGETS count)
message(STATUS "The includes of ${count} libraries keep to the layers.")
