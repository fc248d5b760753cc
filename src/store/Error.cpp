#include "store/Error.h"
