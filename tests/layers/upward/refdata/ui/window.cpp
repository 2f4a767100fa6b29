#include "app/ui/mainform.h"
