#include "app/tray_retry.h"

UINT NextTrayRetryMs(unsigned failedAdds)
{
    return failedAdds >= 1 && failedAdds <= MaxTrayRetries ? TrayRetryMs : 0;
}

UINT OfferTrayIcon(TrayIconState& state, TrayShellCall shell, NOTIFYICONDATAW& icon)
{
    // An icon present already refuses a second add, and so does a shell whose
    // add timed out while it took the icon all the same: asking it to change
    // the icon tells those from a refusal.
    if (shell(NIM_ADD, &icon) || shell(NIM_MODIFY, &icon)) {
        state = {true, 0};
        return 0;
    }
    if (state.shown)
        return 0;
    ++state.failedAdds;
    return NextTrayRetryMs(state.failedAdds);
}
