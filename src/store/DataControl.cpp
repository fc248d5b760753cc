#include "store/DataControl.h"
