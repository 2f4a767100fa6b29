#include "refdata/referencedb.h"
