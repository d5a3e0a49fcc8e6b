#include "fw/strutil.h"
