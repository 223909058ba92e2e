// The log file of code under test in this process. A test process never writes
// into the user's own local application data folder: the test main stands a
// scratch folder of the process's own in for it before any test runs, and a
// LocalAppDataScope gives one test a fresh, empty one. The log file is then
// "Lumistamp\Lumistamp.Log" under that folder, as under the real one.
#pragma once

#include <string>

#include "tests/support/scratch_folder.h"

class LocalAppDataScope {
public:
    LocalAppDataScope();
    ~LocalAppDataScope();  // the folder that stood in before stands in again
    LocalAppDataScope(const LocalAppDataScope&) = delete;
    LocalAppDataScope& operator=(const LocalAppDataScope&) = delete;

    // The stand-in for the local application data folder, made empty.
    const std::wstring& Path() const { return folder_.Path(); }
    // Its "Lumistamp" folder and the log file in it.
    std::wstring LogFolder() const { return folder_ / L"Lumistamp"; }
    std::wstring LogPath() const { return LogFolder() + L"\\Lumistamp.Log"; }

private:
    ScratchFolder folder_;
    std::wstring previous_;
};

// For the test main: the stand-in of the whole process, made before the first
// test; after the last, the LogFile option is turned off and the folder removed.
void StandInForLocalAppData();
void RemoveLocalAppDataStandIn();
