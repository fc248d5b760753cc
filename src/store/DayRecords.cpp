#include "store/DayRecords.h"
