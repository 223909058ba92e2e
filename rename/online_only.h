// A folder's memory of online-only pictures waiting to be made local. A cloud
// provider downloads a placeholder in place: its attributes change, its name
// does not, so no file-name change wakes the monitor. While the last scan
// listed such a picture, the monitor lists the folder again at a slow pace;
// the listing costs nothing per placeholder still online-only (none is opened),
// and a picture made local is renamed within about a minute.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr DWORD OnlineOnlyLookMs = 60000;

// Bound: two numbers per folder.
struct OnlineOnlyPictures {
    uint32_t waiting = 0;    // pictures the last whole scan listed online-only, unnamed
    ULONGLONG lookedAt = 0;  // tick count of that scan
};

// Notes the outcome of a whole scan made at now.
void NoteOnlineOnlyPictures(OnlineOnlyPictures& pictures, uint32_t waiting, ULONGLONG now);

// How long the monitor may wait before it lists the folder again for them:
// INFINITE when none waits.
DWORD NextOnlineOnlyLookMs(const OnlineOnlyPictures& pictures, ULONGLONG now);
