#include "settings/ConfigFile.h"
