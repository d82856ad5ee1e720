# The layers of the code, each a folder and a library, each using only the layers below it:
#
#     settings  <-  crystal  <-  structure  <-  search  <-  valence  <-  engine
#                                                           valence  <-  landscape  <-  engine
#                                    ^                                    frontend (beside engine)
#
# settings: the settings file, text and number helpers, the programs' wordings.
# crystal:  the crystal structure record and its mathematics (matrices, cell metric, setting
#           transformation, symmetry operators, distances).
# structure: the structure readers and writers, the space-group lookups.
# search:   the neighbour search.
# valence:  the parameter table, bonds, sums, valence summary, report and JSON.
# landscape: the bond valence landscape of a mobile ion over the cell, its percolation
#           thresholds and its cube file; beside valence, whose table only landscape_frame.cpp
#           reads.
# engine:   Tarnell's run; frontend: Kestrin.
#
# A folder's sources may include only its own headers and those of the layers it names; an
# include of a layer above it stops the configuration, so the order cannot rot unnoticed.
function(tarnell_check_includes folder)
    set(allowed ${folder} ${ARGN})
    file(GLOB sources ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
        file(STRINGS ${source} includes REGEX "^#include \"[a-z]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" layer "${line}")
            if(NOT layer IN_LIST allowed)
                message(FATAL_ERROR
                    "${source}: ${line} reaches up from ${folder} into ${layer}; "
                    "${folder} may use only: ${allowed}")
            endif()
        endforeach()
    endforeach()
endfunction()

# A layer's library from the sources of its folder, linked with the layers below it.
function(tarnell_layer folder)
    cmake_parse_arguments(LAYER "" "" "SOURCES;USES;LIBRARIES" ${ARGN})
    set(uses)
    foreach(lower IN LISTS LAYER_USES)
        list(APPEND uses tarnell_${lower})
    endforeach()
    tarnell_check_includes(${folder} ${LAYER_USES})
    add_library(tarnell_${folder} STATIC ${LAYER_SOURCES})
    target_include_directories(tarnell_${folder} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(tarnell_${folder} PUBLIC ${uses} ${LAYER_LIBRARIES})
endfunction()
