#include "settings/ScheduleFileChoice.h"
