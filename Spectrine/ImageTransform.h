// Preview images through a display profile.
#pragma once

#include "Spectrine/Base.h"

extern "C" {

// Reads the JPEG image at `source`, takes its pixels as device values of the display profile at
// `profile` and writes them, converted to sRGB (perceptual intent), as a JPEG image at
// `destination`: the picture as the profiled display shows it. The image is written to a temporary
// file beside `destination` and renamed over it, so a failure leaves `destination` as it was.
// Safe to call from several threads at once. Grey and CMYK sources are refused
// (KVErrorUnsupported); a profile that cannot transform gives KVErrorInvalidProfile.
void KVImageTransform(KVUniStringRef source, KVUniStringRef profile, KVUniStringRef destination, KVStatus* status);

}  // extern "C"
