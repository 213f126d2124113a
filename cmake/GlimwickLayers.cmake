# The show's layer libraries: glimwick_layer_library(NAME SOURCES...) builds glimwick_NAME
# from the sources and links it to the library of the layer just below NAME in
# GLIMWICK_LAYERS, and through it to every layer below.

# GLIMWICK_LAYER_NAMES: the names of GLIMWICK_LAYERS from the bottom up.
set(GLIMWICK_LAYER_NAMES "")
foreach(entry IN LISTS GLIMWICK_LAYERS)
    string(REGEX REPLACE ":.*" "" name "${entry}")
    list(APPEND GLIMWICK_LAYER_NAMES ${name})
endforeach()

function(glimwick_layer_library name)
    list(FIND GLIMWICK_LAYER_NAMES ${name} index)
    if(index LESS 0)
        message(FATAL_ERROR "${name} is not in GLIMWICK_LAYERS")
    endif()
    add_library(glimwick_${name} STATIC ${ARGN})
    if(index GREATER 0)
        math(EXPR below "${index} - 1")
        list(GET GLIMWICK_LAYER_NAMES ${below} lower)
        target_link_libraries(glimwick_${name} PUBLIC glimwick_${lower})
    endif()
endfunction()
