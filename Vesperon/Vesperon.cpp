#include "Vesperon/Vesperon.h"
