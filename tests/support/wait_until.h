// Bounded waits for the tests: a condition polled while this thread's
// messages are delivered, so that windows the test owns keep answering.
#pragma once

#include <windows.h>

#include <functional>

// Delivers this thread's messages and checks the condition, at once when a
// message arrives and every 20 ms otherwise, for at most timeoutMs. Returns
// whether the condition came true.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}
