// glibc keeps what the process frees for its own reuse; the tray program mostly idles between
// short bursts of work, so it hands that memory back.
#pragma once

// Blocks from 128 KiB on get a mapping of their own, returned to the system when freed (glibc would
// otherwise raise that bound after the first such free and keep later pictures on its heap). Call
// before the first allocation of that size.
void MapLargeBlocksApart();

// Returns the free pages of the heap to the system one second after the last call (from the
// event loop: objects deleted later are freed by then).
void ReleaseFreedMemorySoon();
