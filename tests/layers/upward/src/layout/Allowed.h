#include "forms/Form.h"
#include "document/Markup.h"
#include "layout/Other.h"
#include <vector>
