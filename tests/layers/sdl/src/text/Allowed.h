#include <SDL_ttf.h>
