// Stand-in for the update checker: the two calls the tray program makes, journalled in the
// simulated machine.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Parameters of VesperonInitialize. `size` is sizeof(VesperonParameters); `feedUrl` is the update
// feed's location as NUL-terminated UTF-8; every other number is 0 and both texts are empty.
typedef struct VesperonParameters {
    uint32_t size;
    const char* feedUrl;
    int32_t reserved[8];
    const char* firstText;
    int32_t reservedFlags;
    const char* secondText;
} VesperonParameters;

// 0 on success; 87 (invalid parameter) for a missing or bad record; a failure injected by
// `winsim fail VesperonInitialize CODE` gives CODE. Journals "vesperon-initialize FEED STATUS".
int VesperonInitialize(const VesperonParameters* parameters);

// Journals "vesperon-check MODE" (0 at start-up, 1 when the user asks); returns 0.
int VesperonCheckForUpdates(int mode);

#ifdef __cplusplus
}
#endif
