#include "tests/soak/soak_plan.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "tests/app/program_driver.h"
#include "tests/reliability/folder_contents.h"
#include "tests/support/scratch_folder.h"

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(int64_t days, int* year, int* month, int* day)
{
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned shifted = (5 * dayOfYear + 2) / 153;
    *day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    *month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    *year = static_cast<int>(static_cast<int64_t>(yearOfEra) + era * 400 + (*month <= 2));
}

// A capture second as the EXIF date text and as the stamp of a name.
struct CaptureSecond {
    std::string dateText;
    std::wstring stamp;
};

CaptureSecond SecondAt(int64_t seconds)
{
    int year = 0, month = 0, day = 0;
    CivilFromDays(seconds / 86400, &year, &month, &day);
    int inDay = static_cast<int>(seconds % 86400);
    char text[32];
    snprintf(text, sizeof(text), "%04d:%02d:%02d %02d:%02d:%02d", year, month, day, inDay / 3600,
             inDay / 60 % 60, inDay % 60);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04d%02d%02d_%02d%02d%02d", year, month, day, inDay / 3600,
             inDay / 60 % 60, inDay % 60);
    return {text, stamp};
}

// Folder names: plain ones, one with Latin-1 letters and one with letters the
// log file cannot hold (written there as '?').
std::wstring FolderName(int index)
{
    wchar_t name[64];
    swprintf(name, 64, L"folder %02d", index);
    if (index == 1)
        return std::wstring(name) + L" \u0424\u043e\u0442\u043e";  // Cyrillic "Foto"
    if (index == 2)
        return std::wstring(name) + L" \u00c9t\u00e9";  // Latin-1 "Ete" with accents
    return name;
}

const wchar_t* const CameraPrefixes[] = {L"DSC_", L"IMG_", L"DSCN", L"P10", L"_MG_", L"SAM_"};
const wchar_t* const OtherNames[] = {L"notes_%05d.txt", L"IMG_%05d.PNG",      L"MVI_%05d.MOV",
                                     L"DSC_%05d.jpe",   L"DSC_%05d.jpg.part", L"DSC_%05d.xmp",
                                     L"Thumbs_%05d.db"};

class PlanBuilder {
public:
    PlanBuilder(const SoakOptions& options, const SampleSet& samples, SoakPlan* plan)
        : options_(options), samples_(samples), plan_(plan), random_(options.seed)
    {
        base_ = DaysFromCivil(2019, 12, 31) * 86400 + 18 * 3600;
    }

    bool Build(std::wstring* error);

private:
    int Pick(int count) { return static_cast<int>(random_() % static_cast<uint32_t>(count)); }
    bool Chance(int percent) { return Pick(100) < percent; }
    CaptureSecond NextSecond()
    {
        // Far enough apart to cross days, months and a year; never equal.
        int64_t seconds = base_ + slot_++ * 3607 + Pick(3000);
        return SecondAt(seconds);
    }
    std::wstring PictureExtension()
    {
        int roll = Pick(100);
        return roll < 70 ? L".JPG" : roll < 85 ? L".jpg" : roll < 95 ? L".jpeg" : L".JPEG";
    }
    WriteMethod Method()
    {
        int roll = Pick(100);
        return roll < 37   ? WriteMethod::Copy
               : roll < 62 ? WriteMethod::InPlace
               : roll < 70 ? WriteMethod::SlowInPlace
                           : WriteMethod::MoveIn;
    }

    bool AddItem(SoakItem item, std::vector<uint8_t> bytes, std::wstring* error);
    bool AddDated(int folder, int wave, int writer, const CaptureSecond& second, bool burst,
                  std::wstring* error);
    bool AddUndated(int folder, int wave, int writer, const std::wstring& name,
                    std::wstring* error);
    bool AddStampNamed(int folder, int wave, int writer, std::wstring* error);
    bool AddDatedUnderName(int folder, int wave, int writer, const std::wstring& nameStamp,
                           const CaptureSecond& own, std::wstring* error);
    bool AddOther(int folder, int wave, int writer, std::wstring* error);
    bool AddCardCopy(int wave, int pairs, uint32_t bytesPerSecond, size_t rawBytes,
                     std::wstring* error);
    bool AddWave(int wave, int quota, std::wstring* error);

    const SoakOptions& options_;
    const SampleSet& samples_;
    SoakPlan* plan_;
    std::mt19937 random_;
    int64_t base_ = 0;
    int64_t slot_ = 0;
    int serial_ = 0;    // numbers arrival names: unique in the whole run
    int pictures_ = 0;  // pictures planned so far
    // Stamps given out as names of earlier pictures, whose own pictures come
    // in the next wave into the same folder: (folder, second).
    std::vector<std::pair<int, CaptureSecond>> pending_, next_;
};

bool PlanBuilder::AddItem(SoakItem item, std::vector<uint8_t> bytes, std::wstring* error)
{
    int index = static_cast<int>(plan_->items.size());
    char trailer[128];
    snprintf(trailer, sizeof(trailer), "\r\nlumistamp soak item %d of folder %d\r\n", index,
             item.folder);
    bytes = WithTrailer(std::move(bytes), trailer);
    if (item.copy >= 0) {
        // On the copy's card under its arrival name: the copier takes the names.
        item.source = plan_->copies[item.copy].card + L"\\" + item.name;
        item.method = WriteMethod::CardCopy;
    } else {
        wchar_t source[32];
        swprintf(source, 32, L"\\item_%05d", index);
        item.source = plan_->card + source;
        item.method = Method();
    }
    item.hash = ContentHash(bytes);
    if (!WriteFileBytes(item.source, bytes)) {
        *error = L"cannot write " + item.source;
        return false;
    }
    plan_->items.push_back(item);
    return true;
}

bool PlanBuilder::AddDated(int folder, int wave, int writer, const CaptureSecond& second,
                           bool burst, std::wstring* error)
{
    int sampleIndex = Pick(static_cast<int>(samples_.dated.size()));
    const CameraSample& sample = samples_.dated[sampleIndex];
    wchar_t base[32];
    swprintf(base, 32, L"%ls%05d", CameraPrefixes[sampleIndex % ARRAYSIZE(CameraPrefixes)],
             ++serial_);

    SoakItem picture;
    picture.kind = ItemKind::DatedPicture;
    picture.folder = folder;
    picture.wave = wave;
    picture.writer = writer;
    picture.extension = PictureExtension();
    picture.name = base + picture.extension;
    picture.stamp = second.stamp;
    picture.burst = burst;
    picture.held = wave + 1 < options_.waves && Chance(5);

    // The raw file lands first, as a camera's card lists it: a companion
    // that comes after its picture was renamed is left alone by design.
    if (Chance(25)) {
        SoakItem companion;
        companion.kind = ItemKind::Companion;
        companion.folder = folder;
        companion.wave = wave;
        companion.writer = writer;
        companion.name = std::wstring(base) + L".NEF";
        companion.held = wave + 1 < options_.waves && Chance(5);
        std::vector<uint8_t> raw(1024 + Pick(30000));
        for (uint8_t& byte : raw)
            byte = static_cast<uint8_t>(random_());
        companion.picture = static_cast<int>(plan_->items.size()) + 1;
        picture.companion = static_cast<int>(plan_->items.size());
        if (!AddItem(companion, raw, error))
            return false;
    }
    ++pictures_;
    return AddItem(picture, WithDateText(sample, second.dateText), error);
}

bool PlanBuilder::AddUndated(int folder, int wave, int writer, const std::wstring& name,
                             std::wstring* error)
{
    SoakItem picture;
    picture.kind = ItemKind::UndatedPicture;
    picture.folder = folder;
    picture.wave = wave;
    picture.writer = writer;
    picture.extension = name.substr(name.find_last_of(L'.'));
    picture.name = name;
    picture.held = wave + 1 < options_.waves && Chance(5);
    ++pictures_;
    return AddItem(picture, samples_.undated[Pick(static_cast<int>(samples_.undated.size()))].bytes,
                   error);
}

// A picture already named like a stamp: its own (nothing to do), or that of
// pictures coming in the next wave, which then find their name taken.
bool PlanBuilder::AddStampNamed(int folder, int wave, int writer, std::wstring* error)
{
    int roll = Pick(3);
    if (roll == 0 || wave + 1 == options_.waves) {
        CaptureSecond second = NextSecond();
        return AddDatedUnderName(folder, wave, writer, second.stamp, second, error);
    }

    CaptureSecond taken = NextSecond();
    next_.push_back({folder, taken});
    if (roll == 1) {
        if (!AddUndated(folder, wave, writer, taken.stamp + L".JPG", error))
            return false;
        plan_->items.back().stampNamed = true;
        return true;
    }
    return AddDatedUnderName(folder, wave, writer, taken.stamp, NextSecond(), error);
}

// A dated ".jpg" that arrives already named like the stamp nameStamp.
bool PlanBuilder::AddDatedUnderName(int folder, int wave, int writer, const std::wstring& nameStamp,
                                    const CaptureSecond& own, std::wstring* error)
{
    int sampleIndex = Pick(static_cast<int>(samples_.dated.size()));
    SoakItem picture;
    picture.kind = ItemKind::DatedPicture;
    picture.folder = folder;
    picture.wave = wave;
    picture.writer = writer;
    picture.extension = L".jpg";
    picture.name = nameStamp + picture.extension;
    picture.stamp = own.stamp;
    picture.stampNamed = true;
    ++pictures_;
    return AddItem(picture, WithDateText(samples_.dated[sampleIndex], own.dateText), error);
}

bool PlanBuilder::AddOther(int folder, int wave, int writer, std::wstring* error)
{
    SoakItem other;
    other.kind = ItemKind::Other;
    other.folder = folder;
    other.wave = wave;
    other.writer = writer;
    wchar_t name[64];
    swprintf(name, 64, OtherNames[Pick(static_cast<int>(ARRAYSIZE(OtherNames)))], ++serial_);
    other.name = name;
    std::string text = "not a picture";
    return AddItem(other, std::vector<uint8_t>(text.begin(), text.end()), error);
}

// Sizes and rates of the card copies: pictures of 1 MiB (a sample and filler)
// with raw files of several MiB, so that at the slow rate a scan that a
// picture's landing brings meets its raw file still being written.
const size_t CopiedPictureBytes = 1024 * 1024;
const size_t SlowCopyRawBytes = 4 * 1024 * 1024, FastCopyRawBytes = 6 * 1024 * 1024;
const uint32_t SlowCopyRate = 2 * 1024 * 1024, FastCopyRate = 40 * 1024 * 1024;

// A card of camera-named pairs copied into one folder: one picture in eight
// without a date, the others with seconds of their own.
bool PlanBuilder::AddCardCopy(int wave, int pairs, uint32_t bytesPerSecond, size_t rawBytes,
                              std::wstring* error)
{
    CardCopy copy;
    copy.wave = wave;
    copy.folder = Pick(options_.folders);
    copy.bytesPerSecond = bytesPerSecond;
    copy.card = plan_->card + L"\\copy" + std::to_wstring(plan_->copies.size());
    if (!CreateDirectoryW(copy.card.c_str(), nullptr)) {
        *error = L"cannot make " + copy.card;
        return false;
    }
    plan_->copies.push_back(copy);
    for (int pair = 0; pair < pairs; ++pair) {
        wchar_t base[32];
        swprintf(base, 32, L"DSC_%05d", ++serial_);
        SoakItem picture;
        picture.folder = copy.folder;
        picture.wave = wave;
        picture.copy = static_cast<int>(plan_->copies.size()) - 1;
        picture.extension = L".JPG";
        picture.name = base + picture.extension;
        picture.companion = static_cast<int>(plan_->items.size()) + 1;
        std::vector<uint8_t> bytes;
        if (Chance(12)) {
            picture.kind = ItemKind::UndatedPicture;
            bytes = samples_.undated[Pick(static_cast<int>(samples_.undated.size()))].bytes;
        } else {
            picture.kind = ItemKind::DatedPicture;
            CaptureSecond second = NextSecond();
            picture.stamp = second.stamp;
            bytes = WithDateText(samples_.dated[Pick(static_cast<int>(samples_.dated.size()))],
                                 second.dateText);
        }
        SoakItem raw = picture;
        raw.kind = ItemKind::Companion;
        raw.name = std::wstring(base) + L".NEF";
        raw.extension.clear();
        raw.stamp.clear();
        raw.companion = -1;
        raw.picture = picture.companion - 1;
        ++pictures_;
        if (!AddItem(picture, FilledTo(std::move(bytes), CopiedPictureBytes, random_()), error) ||
            !AddItem(raw, FilledTo({}, rawBytes, random_()), error))
            return false;
    }
    return true;
}

// Plans pictures until quota of them, counted from the first wave, are planned.
bool PlanBuilder::AddWave(int wave, int quota, std::wstring* error)
{
    pending_.swap(next_);
    next_.clear();
    // The wave's card copies: a slow one of two pairs and a fast one of a
    // tenth of the wave's pictures, both running beside the writers.
    int perWave = options_.pictures / options_.waves;
    if (!AddCardCopy(wave, perWave >= 20 ? 2 : 1, SlowCopyRate, SlowCopyRawBytes, error) ||
        !AddCardCopy(wave, std::clamp(perWave / 10, 1, 16), FastCopyRate, FastCopyRawBytes, error))
        return false;
    int folders = options_.folders;
    int group = 0;
    // Every folder gets pictures in every wave, so that a change wakes each
    // monitor after the holder of the wave before let go of its files.
    while (pictures_ < quota || !pending_.empty()) {
        int folder = (group++ + wave) % folders;
        int writer = Pick(options_.writers);
        size_t first = plan_->items.size();
        bool ok = true;
        if (!pending_.empty()) {
            // The pictures whose stamp an earlier picture took as its name.
            auto [takenFolder, second] = pending_.back();
            pending_.pop_back();
            int count = std::max(1, std::min(1 + Pick(3), quota - pictures_));
            for (int made = 0; ok && made < count; ++made)
                ok = AddDated(takenFolder, wave, writer, second, count > 1, error);
        } else {
            int roll = Pick(100);
            int left = quota - pictures_;
            if (roll < 15 && left >= 2) {
                CaptureSecond second = NextSecond();  // a burst: one second, several pictures
                for (int count = 2 + Pick(std::min(5, left - 1)); ok && count > 0; --count)
                    ok = AddDated(folder, wave, writer, second, true, error);
            } else if (roll < 23) {
                wchar_t name[32];
                swprintf(name, 32, L"%ls%05d%ls",
                         CameraPrefixes[Pick(static_cast<int>(ARRAYSIZE(CameraPrefixes)))],
                         ++serial_, PictureExtension().c_str());
                ok = AddUndated(folder, wave, writer, name, error);
            } else if (roll < 28) {
                ok = AddStampNamed(folder, wave, writer, error);
            } else {
                ok = AddDated(folder, wave, writer, NextSecond(), false, error);
            }
            if (ok && Chance(10))
                ok = AddOther(folder, wave, writer, error);
        }
        if (!ok)
            return false;
        if (plan_->items.size() > first && Chance(35))
            plan_->items.back().pauseMs = 50 + Pick(350);
    }
    return true;
}

bool PlanBuilder::Build(std::wstring* error)
{
    for (int wave = 0; wave < options_.waves; ++wave) {
        int quota =
            static_cast<int>(static_cast<int64_t>(options_.pictures) * (wave + 1) / options_.waves);
        if (!AddWave(wave, quota, error))
            return false;
    }
    for (int press = 1; press <= options_.okPresses; ++press)
        plan_->okWaves.push_back(press * options_.waves / (options_.okPresses + 1));
    return true;
}

}  // namespace

const wchar_t* MethodName(WriteMethod method)
{
    switch (method) {
    case WriteMethod::Copy:
        return L"copy";
    case WriteMethod::InPlace:
        return L"inplace";
    case WriteMethod::SlowInPlace:
        return L"slow";
    case WriteMethod::MoveIn:
        return L"movein";
    case WriteMethod::CardCopy:
        return L"cardcopy";
    }
    return L"copy";
}

bool MakePlan(const SoakOptions& options, const SampleSet& samples, SoakPlan* plan,
              std::wstring* error)
{
    std::wstring folders = options.data + L"\\folders";
    plan->card = options.data + L"\\card";
    plan->jobs = options.data + L"\\jobs";
    plan->runFolder = options.data + L"\\run";
    plan->logFile = ProgramLogPath();
    for (const std::wstring& folder :
         {options.data, folders, plan->card, plan->jobs, plan->runFolder}) {
        if (!CreateDirectoryW(folder.c_str(), nullptr)) {
            *error = L"cannot make " + folder;
            return false;
        }
    }
    for (int index = 0; index < options.folders; ++index) {
        plan->folders.push_back(folders + L"\\" + FolderName(index));
        if (!CreateDirectoryW(plan->folders.back().c_str(), nullptr)) {
            *error = L"cannot make " + plan->folders.back();
            return false;
        }
    }
    plan->registryFolders = plan->folders;
    plan->registryFolders.push_back(plan->folders[0]);
    PlanBuilder builder(options, samples, plan);
    return builder.Build(error);
}
