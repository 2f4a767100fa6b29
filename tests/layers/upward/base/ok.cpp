#include "base/numbers.h"
#include "base/settings.h"
