#include "layout/Load.h"
#include "forms/Form.h"
