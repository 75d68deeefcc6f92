#include "toolkit/Other.h"
