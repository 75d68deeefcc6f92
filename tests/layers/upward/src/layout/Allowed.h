#include "toolkit/Form.h"
#include "document/Markup.h"
#include "layout/Other.h"
#include <vector>
