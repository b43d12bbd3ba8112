// Stand-in for the colour engine: every family. Conventions in Base.h.
#pragma once

#include "Spectrine/Base.h"
#include "Spectrine/Profiles.h"
#include "Spectrine/Colors.h"
#include "Spectrine/NameValueMaps.h"
#include "Spectrine/DisplayParams.h"
#include "Spectrine/Cxf3.h"
#include "Spectrine/ImageTransform.h"
#include "Spectrine/EditableProfiles.h"
#include "Spectrine/DisplayProfiles.h"
