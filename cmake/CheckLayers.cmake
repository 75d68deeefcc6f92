# The layers and what each may include: a folder below src/ is a layer, and its files include
# only their own layer and the ones listed here. Included by CMakeLists.txt (the check runs at
# configure time) and runnable alone for the test suite:
#   cmake -DKAVRO_SOURCE_DIR=<tree> -P cmake/CheckLayers.cmake
if(CMAKE_SCRIPT_MODE_FILE)
    cmake_minimum_required(VERSION 3.25)
endif()

set(KAVRO_LAYERS toolkit imaging encoding document import manuals layout watch app)
set(KAVRO_LAYER_DEPS_toolkit "")
set(KAVRO_LAYER_DEPS_imaging toolkit)
set(KAVRO_LAYER_DEPS_encoding "")
set(KAVRO_LAYER_DEPS_document encoding)
# Move-list and history files: reads them and writes documents; needs nothing else.
set(KAVRO_LAYER_DEPS_import "")
# Game manuals (PDF, comic archives, folders of page pictures) turned into page pictures and a
# document of them; runs pdftoppm as a program of its own.
set(KAVRO_LAYER_DEPS_manuals import toolkit)
set(KAVRO_LAYER_DEPS_layout document imaging toolkit)
set(KAVRO_LAYER_DEPS_watch "")
set(KAVRO_LAYER_DEPS_app layout document import manuals imaging toolkit watch)

# Fails with one line per include of a layer that is neither the file's own nor below it.
function(kavro_check_layers root)
    set(problems "")
    file(GLOB_RECURSE files "${root}/src/*.cpp" "${root}/src/*.h")
    foreach(file IN LISTS files)
        file(RELATIVE_PATH relative "${root}/src" "${file}")
        string(REGEX MATCH "^[^/]+" layer "${relative}")
        if(relative STREQUAL layer)
            continue()  # a file directly in src/ belongs to no layer
        endif()
        if(NOT layer IN_LIST KAVRO_LAYERS)
            string(APPEND problems "\n  src/${relative}: folder '${layer}' is not in the layer table")
            continue()
        endif()
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" used "${line}")
            if(NOT used STREQUAL layer AND NOT used IN_LIST KAVRO_LAYER_DEPS_${layer})
                string(APPEND problems "\n  src/${relative}: ${layer} includes ${used} (above it)")
            endif()
        endforeach()
    endforeach()
    if(problems)
        message(FATAL_ERROR "Includes that reach a layer above their own:${problems}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED KAVRO_SOURCE_DIR)
    kavro_check_layers("${KAVRO_SOURCE_DIR}")
endif()
