#include "app/tray_retry.h"

UINT NextTrayRetryMs(unsigned failedAdds)
{
    return failedAdds >= 1 && failedAdds <= MaxTrayRetries ? TrayRetryMs : 0;
}
