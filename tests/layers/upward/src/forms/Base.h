#include "forms/Other.h"
