#include "layout/Load.h"
#include "toolkit/Form.h"
