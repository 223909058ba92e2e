// The Settings record in the current user's registry, under the program key
// "SOFTWARE\KX-Lumistamp". Loading is quiet (event lines only); saving is loud
// (event line and error box for each failure).
#pragma once

// Fills Settings from the registry; called once at start-up.
void LoadSettings();

// Writes Settings to the registry, then brings the autostart entry up to date.
void SaveSettings();
