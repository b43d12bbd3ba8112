#include "ZipArchive/ZipArchive.h"
