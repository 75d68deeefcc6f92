#include <SDL.h>
#include <SDL_ttf.h>
