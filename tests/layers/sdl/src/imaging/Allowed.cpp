#include <SDL_image.h>
