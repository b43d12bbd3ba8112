// Name-value maps: ordered lists of text pairs, handed to the display parameters (the built
// profile's 'meta' dictionary, custom attributes of the measurement data).
#pragma once

#include "Spectrine/Base.h"

extern "C" {

typedef struct KVNameValueMap* KVNameValueMapRef;

KVNameValueMapRef KVNameValueMapCreate(KVStatus* status);
// Adds copies of `name` and `value`. A name already in the map gets the new value in its place;
// an empty name is refused.
void KVNameValueMapAddValue(KVNameValueMapRef map, KVUniStringRef name, KVUniStringRef value, KVStatus* status);
void KVNameValueMapRelease(KVNameValueMapRef map);

}  // extern "C"
