#include "rates/ratelookup.h"
