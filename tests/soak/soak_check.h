// The soak's verdict on what the watched folders, the event history and the
// log file hold at the end, against the plan of what was sent.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/soak/soak_plan.h"

struct SoakFindings {
    std::vector<std::wstring> failures;  // empty: nothing lost, nothing wrong

    int datedPictures = 0, undatedPictures = 0, stampNamed = 0, burstPictures = 0;
    int companions = 0, others = 0, heldPlanned = 0;
    int namedByStamp = 0;  // dated pictures under their stamp
    int numbered = 0;      // of those, under a numbered stamp
    int alreadyNamed = 0;  // arrived under their own stamp
    int datedLeft = 0;     // dated pictures under their old name: each one a failure
    int splitPairs = 0;    // a dated picture renamed, its raw file under the camera name
    int companionsFollowed = 0;
    int companionsLeft = 0;  // elsewhere with an event: their new name was taken
    int filesChecked = 0;

    size_t historyLines = 0, logLines = 0;
    int pictureRenames = 0, companionRenames = 0, noExifEvents = 0, otherEvents = 0;
    int dateUnreadableEvents = 0;     // "GetPropertyItem ... failed", "Cannot retrieve date/time"
    int repeatedRenames = 0;          // a "Renamed" line logged again, word for word
    std::map<int, int> renameErrors;  // "Error N renaming": N -> lines
};

// Lists and hashes every watched folder and checks each planned file, then
// checks that the log file holds the history's lines (all but the first,
// which is logged before the settings are read).
void CheckSoak(const SoakPlan& plan, const std::vector<std::wstring>& history,
               const std::string& logFile, SoakFindings* findings);
