# The layers and what each may include: a folder below src/ is a layer, and its files include
# only their own layer and the ones listed here. Included by CMakeLists.txt (the check runs at
# configure time) and runnable alone for the test suite:
#   cmake -DKAVRO_SOURCE_DIR=<tree> -P cmake/CheckLayers.cmake
if(CMAKE_SCRIPT_MODE_FILE)
    cmake_minimum_required(VERSION 3.25)
endif()

set(KAVRO_LAYERS base text forms backend imaging encoding document import manuals layout watch cli
                 app)
# Helpers every layer may use (files, strings, units): the standard library and POSIX only.
set(KAVRO_LAYER_DEPS_base "")
# Fonts and measuring text: SDL_ttf, fontconfig, HarfBuzz, FriBidi.
set(KAVRO_LAYER_DEPS_text base)
# The forms model: window, controls, pictures, timers, process services; no SDL.
set(KAVRO_LAYER_DEPS_forms text base)
# SDL: the window, painting, input, picture files, PNG writing.
set(KAVRO_LAYER_DEPS_backend forms text base)
set(KAVRO_LAYER_DEPS_imaging backend forms text base)
set(KAVRO_LAYER_DEPS_encoding base)
set(KAVRO_LAYER_DEPS_document encoding base)
# Move-list and history files: reads them and writes documents; needs nothing else.
set(KAVRO_LAYER_DEPS_import base)
# Game manuals (PDF, comic archives, folders of page pictures) turned into page pictures and a
# document of them; runs pdftoppm as a program of its own.
set(KAVRO_LAYER_DEPS_manuals import backend forms text base)
set(KAVRO_LAYER_DEPS_layout document imaging forms text base)
set(KAVRO_LAYER_DEPS_watch base)
# The command line, the settings file and --list: what the program does without a window, so
# that the program itself links none of the SDL layers' libraries (key names and the manual
# search are plain tables and file names in layers that link SDL).
set(KAVRO_LAYER_DEPS_cli manuals import backend forms base)
set(KAVRO_LAYER_DEPS_app cli layout document import manuals imaging backend forms text watch base)
# The layers whose files may include SDL's headers, and those that may include SDL_ttf's alone:
# everything else stays free of SDL, so the logic above them runs headless.
set(KAVRO_SDL_LAYERS backend imaging)
set(KAVRO_SDL_TTF_LAYERS text)

# Fails with one line per include of a layer that is neither the file's own nor below it, and
# per SDL header included outside the layers allowed to.
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
        if(layer IN_LIST KAVRO_SDL_LAYERS)
            continue()
        endif()
        file(STRINGS "${file}" sdl_includes REGEX "^[ \t]*#[ \t]*include[ \t]*<SDL")
        foreach(line IN LISTS sdl_includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*(<[^>]*>?).*" "\\1" header "${line}")
            if(NOT (header STREQUAL "<SDL_ttf.h>" AND layer IN_LIST KAVRO_SDL_TTF_LAYERS))
                string(APPEND problems "\n  src/${relative}: ${layer} includes ${header}")
            endif()
        endforeach()
    endforeach()
    if(problems)
        message(FATAL_ERROR "Includes that reach a layer above their own, or SDL outside its layers:${problems}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED KAVRO_SOURCE_DIR)
    kavro_check_layers("${KAVRO_SOURCE_DIR}")
endif()
