#include "forms/Form.h"
