#include "store/Like.h"
