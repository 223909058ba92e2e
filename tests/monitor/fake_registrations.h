// Registrations for device notices handed out by the tests in place of the
// system's, which under Wine refuses every directory handle: each handle
// registered gets a value of its own, as RegisterDeviceNotificationW returns
// one, and the record keeps what was registered and what has ended, so that
// tests can send notices naming the registration as Windows names it.
#pragma once

#include <windows.h>
#include <dbt.h>

#include <mutex>
#include <vector>

#include "monitor/folder_holds.h"

struct FakeRegistration {
    HDEVNOTIFY notice;
    HANDLE handle;  // the handle value registered
    bool ended;     // unregistered
};

// Puts the fake calls in for its lifetime; the record starts empty.
class FakeRegistrations {
public:
    FakeRegistrations()
        : register_(RegisterNotice.exchange(&Register)),
          unregister_(UnregisterNotice.exchange(&Unregister))
    {
        std::lock_guard<std::mutex> guard(lock_);
        made_.clear();
        wrongEnds_ = 0;
    }
    ~FakeRegistrations()
    {
        RegisterNotice = register_;
        UnregisterNotice = unregister_;
    }
    FakeRegistrations(const FakeRegistrations&) = delete;
    FakeRegistrations& operator=(const FakeRegistrations&) = delete;

    // Every registration made, in order.
    static std::vector<FakeRegistration> All()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return made_;
    }

    // The latest registration of the handle value, ended or not; null if none.
    static HDEVNOTIFY Of(HANDLE handle)
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto made = made_.rbegin(); made != made_.rend(); ++made)
            if (made->handle == handle)
                return made->notice;
        return nullptr;
    }

    // Whether the registration was made and has not ended.
    static bool Live(HDEVNOTIFY notice)
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const FakeRegistration& made : made_)
            if (made.notice == notice)
                return !made.ended;
        return false;
    }

    // Unregistrations of a registration that had ended already or was never
    // made: the system may have handed its value out again by then.
    static int WrongEnds()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return wrongEnds_;
    }

private:
    static HDEVNOTIFY WINAPI Register(HANDLE, LPVOID filter, DWORD)
    {
        auto* handleFilter = static_cast<const DEV_BROADCAST_HANDLE*>(filter);
        std::lock_guard<std::mutex> guard(lock_);
        // Values no handle of the process has, one per registration.
        auto* notice = reinterpret_cast<HDEVNOTIFY>(0x7A000000 + 0x10 * (made_.size() + 1));
        made_.push_back({notice, handleFilter->dbch_handle, false});
        return notice;
    }
    static BOOL WINAPI Unregister(HDEVNOTIFY notice)
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (FakeRegistration& made : made_)
            if (made.notice == notice && !made.ended) {
                made.ended = true;
                return TRUE;
            }
        ++wrongEnds_;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }

    RegisterNoticeCall register_;
    UnregisterNoticeCall unregister_;
    static inline std::mutex lock_;
    static inline std::vector<FakeRegistration> made_;
    static inline int wrongEnds_ = 0;
};
