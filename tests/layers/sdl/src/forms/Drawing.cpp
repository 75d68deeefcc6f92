#include "forms/Form.h"
#include <SDL.h>
