#include "rename/online_only.h"

void NoteOnlineOnlyPictures(OnlineOnlyPictures& pictures, uint32_t waiting, ULONGLONG now)
{
    pictures.waiting = waiting;
    pictures.lookedAt = now;
}

DWORD NextOnlineOnlyLookMs(const OnlineOnlyPictures& pictures, ULONGLONG now)
{
    if (pictures.waiting == 0)
        return INFINITE;
    ULONGLONG due = pictures.lookedAt + OnlineOnlyLookMs;
    return due <= now ? 0 : static_cast<DWORD>(due - now);
}
