// glibc keeps what the process frees for its own reuse; the tray program mostly idles between
// short bursts of work, so it hands that memory back.
#pragma once

// The GUI thread allocates from the main heap, every other thread from one shared heap: glibc
// would give each new thread (the preview transformers, Qt's image workers) a heap of its own that
// keeps up to 128 KiB after the thread has ended. Call first in main, before any thread starts.
void ShareHeapsBetweenThreads();

// Blocks from 128 KiB on get a mapping of their own, returned to the system when freed (glibc would
// otherwise raise that bound after the first such free and keep later pictures on its heap). Call
// before the first allocation of that size.
void MapLargeBlocksApart();

// Returns the free pages of the heap to the system one second after the last call (from the
// event loop: objects deleted later are freed by then), and ends the idle threads that Qt started
// for its image work (they would otherwise wait 30 s for more).
void ReleaseFreedMemorySoon();
