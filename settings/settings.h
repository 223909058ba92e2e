// The process-wide Settings record: three on/off options and the watched folders.
// Written only on the user-interface thread. Monitor threads read LogFile and
// FileModifiedDate while the settings dialog may change them, so each option is
// one 32-bit value read and written whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>

struct SettingsRecord {
    std::atomic<uint32_t> Autostart{0};
    std::atomic<uint32_t> LogFile{0};
    std::atomic<uint32_t> FileModifiedDate{0};
    // HEIC and HEIF pictures renamed like JPEG ones; read by the scans. Stored
    // only once it was on or found stored, so a registry without it stays so.
    std::atomic<uint32_t> HeifPictures{0};
    bool HeifPicturesStored = false;
    // Phones' and cameras' videos renamed by their capture time; read by the
    // scans, stored only once it was on, as HeifPictures.
    std::atomic<uint32_t> VideoFiles{0};
    bool VideoFilesStored = false;
    std::list<std::wstring> Folders;  // as the folder picker gave them; may repeat
    // The "Companions" value's text as stored or typed; only the
    // user-interface thread touches it (the scans take the parsed list,
    // companions.h). Not stored while the value is absent and left so.
    std::wstring Companions;
    bool CompanionsStored = false;
};

extern SettingsRecord Settings;
