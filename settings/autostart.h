// The autostart entry: a value in the current user's Run key that names this
// executable (its full path in double quotes) while the Autostart option is
// on, and is absent while it is off.
#pragma once

// Makes the entry follow Settings.Autostart. Every failure is logged and shown.
void UpdateAutostartEntry();
