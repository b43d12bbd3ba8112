#include "Spectrine/Spectrine.h"

#include <lcms2.h>
