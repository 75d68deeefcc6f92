#include "app/Viewer.h"
