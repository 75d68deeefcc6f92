#include "toolkit/Form.h"
