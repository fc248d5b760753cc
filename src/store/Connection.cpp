#include "store/Connection.h"
