#include "store/ScheduleFile.h"
