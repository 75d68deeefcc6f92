#include "toolkit/Form.h"
#include <SDL.h>
