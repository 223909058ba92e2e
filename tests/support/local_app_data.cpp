#include "tests/support/local_app_data.h"

#include "events/log_file.h"
#include "settings/settings.h"

LocalAppDataScope::LocalAppDataScope() : previous_(ReplaceLocalAppDataForTests(folder_.Path())) {}

LocalAppDataScope::~LocalAppDataScope() { ReplaceLocalAppDataForTests(previous_); }

static ScratchFolder* ProcessStandIn = nullptr;

void StandInForLocalAppData()
{
    ProcessStandIn = new ScratchFolder;
    ReplaceLocalAppDataForTests(ProcessStandIn->Path());
}

void RemoveLocalAppDataStandIn()
{
    // Monitors that outlived their test may still log: from now on, to the
    // history only. The stand-in stays in place, so nothing ever reaches the
    // user's own folder.
    Settings.LogFile = 0;
    delete ProcessStandIn;
    ProcessStandIn = nullptr;
}
