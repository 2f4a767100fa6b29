#include "host/hostlink.h"
