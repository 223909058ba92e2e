// What the soak sends where: every file of every wave, the folder it lands in,
// the process that writes it, how, and what its name must become. The plan is
// made from a seed, so that a run can be repeated file for file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/soak/soak_samples.h"

struct SoakOptions {
    int folders = 4;     // distinct watched folders; the first is listed twice
    int pictures = 150;  // JPEG pictures in all
    int waves = 3;
    int writers = 2;    // writer processes per wave
    int okPresses = 1;  // waves during which the settings dialog's OK is pressed
    uint32_t seed = 1;
    uint32_t memoryLimitMb = 128;
    std::wstring samples;  // camera sample folder; empty: generated JPEGs
    std::wstring data;     // where the folders, the card and the run folder go
    bool keep = false;     // leave the folders after a passing run
};

enum class ItemKind {
    DatedPicture,    // must end under its stamp (or a numbered one) or have an event
    UndatedPicture,  // must keep its name and have its "No Exif" event
    Companion,  // a ".NEF" beside a picture: before it from a writer, after it from a card copy
    Other,      // not a picture: must keep its name
};

enum class WriteMethod { Copy, InPlace, SlowInPlace, MoveIn, CardCopy };

// A card copied into one folder by a file-manager copier (card_copier.exe):
// pairs in name order, picture then raw, each file held open without delete
// sharing while it is written at the copy's rate, read sharing on every
// second pair.
struct CardCopy {
    int wave = 0;
    int folder = 0;
    uint32_t bytesPerSecond = 0;
    std::wstring card;  // the folder its files are copied from, under their arrival names
};

struct SoakItem {
    ItemKind kind = ItemKind::Other;
    int folder = 0;
    int wave = 0;
    int writer = 0;
    int copy = -1;            // the card copy that sends it, else a writer does
    std::wstring name;        // the name it arrives under
    std::wstring extension;   // a picture's extension, as in its name
    std::wstring stamp;       // a dated picture's YYYYMMDD_HHMMSS
    int companion = -1;       // a picture's ".NEF", by index
    int picture = -1;         // a companion's picture, by index
    bool stampNamed = false;  // arrives under a name of the stamp form
    bool burst = false;       // shares its second with other pictures
    bool held = false;        // opened by the holder while it lands
    WriteMethod method = WriteMethod::Copy;
    uint32_t pauseMs = 0;  // the writer's pause after it
    std::wstring source;   // its bytes, on the card
    uint64_t hash = 0;
};

struct SoakPlan {
    std::vector<std::wstring> folders;          // distinct folders, full paths
    std::vector<std::wstring> registryFolders;  // as stored: the first one twice
    std::vector<SoakItem> items;                // in writing order within each writer
    std::vector<CardCopy> copies;               // in every wave, a slow and a fast one
    std::vector<int> okWaves;                   // waves with an OK press
    std::wstring card;                          // where the sources are
    std::wstring jobs;                          // where the job files go
    std::wstring runFolder;                     // the program's current directory
    std::wstring logFile;                       // the program's, in local app data
};

// Makes the folders and the card (every item's bytes, each file unique) under
// options.data. Returns false with a reason when a file cannot be made.
bool MakePlan(const SoakOptions& options, const SampleSet& samples, SoakPlan* plan,
              std::wstring* error);

const wchar_t* MethodName(WriteMethod method);
