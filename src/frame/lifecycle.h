// Library and thread lifecycle, driven by the platform layer (DllMain on Windows, load/unload
// hooks and a thread-exit hook elsewhere).
#pragma once

namespace kvo {

// Library load: creates the record slot and the loading thread's context. False: refuse to load.
bool processAttach();
// Library unload: releases the calling thread's context and the slot.
void processDetach();
// A new thread: creates its context. False if no memory was left (the first call retries).
bool threadAttach();
// A thread ends: releases its context (not the tables it points to).
void threadDetach();

}  // namespace kvo
