// Home of the process-wide Settings and Statistics records.
#include "settings/settings.h"
#include "settings/statistics.h"

SettingsRecord Settings;
StatisticsRecord Statistics;
std::atomic<void*> StatisticsPageWindow{nullptr};
