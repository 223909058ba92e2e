// card_copier: copies a camera card into a folder as a file manager does, so
// that the program meets pictures and raw files that are still being written.
//
//   card_copier CARD DESTINATION BYTES_PER_SECOND [--share-read all|none|alternate]
//               [--raw-first]
//
// The card's files are taken in groups by base name, the name up to its first
// dot (DSC_0001.JPG, DSC_0001.NEF, DSC_0001.NEF.xmp), in name order; in a
// group the pictures (.JPG, .JPEG) go first, then the raw files (any other
// extension), then the sidecars (.xmp), each kind in name order. Each file is
// created under its name in DESTINATION, written in 1 MiB pieces at the given
// rate while held open without delete sharing (so it cannot be renamed
// meanwhile), given the source's last-write time as a copy keeps it, and
// closed before the next one starts. With --raw-first a group's raw files go
// before its pictures. Read sharing: every file (all, the default), none, or
// the files of every second group (alternate: the first group's files are
// shared). Exit code 0 when every
// file was copied, 1 when one failed (named on stderr), 2 on a bad command line.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

const DWORD PieceBytes = 1024 * 1024;

struct CardGroup {
    std::vector<std::wstring> pictures, raws, sidecars;  // file names on the card
};

bool HasExtension(const std::wstring& name, const wchar_t* extension)
{
    size_t dot = name.find_last_of(L'.');
    return dot != std::wstring::npos && _wcsicmp(name.c_str() + dot, extension) == 0;
}

// The card's files grouped by base name, in name order.
std::vector<CardGroup> GroupsOnCard(const std::wstring& card)
{
    std::map<std::wstring, CardGroup> byBase;
    for (const std::wstring& name : ListFolder(card)) {
        DWORD attributes = GetFileAttributesW((card + L"\\" + name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::wstring base = name.substr(0, name.find(L'.'));
        for (wchar_t& c : base)
            c = static_cast<wchar_t>(towupper(c));
        CardGroup& group = byBase[base];
        if (HasExtension(name, L".xmp"))
            group.sidecars.push_back(name);
        else if (HasExtension(name, L".JPG") || HasExtension(name, L".JPEG"))
            group.pictures.push_back(name);
        else
            group.raws.push_back(name);
    }
    std::vector<CardGroup> groups;
    for (const auto& entry : byBase)
        groups.push_back(entry.second);
    return groups;
}

// Keeps the copy at its rate: the bytes copied so far may not be ahead of the
// time since the copy began.
class Pace {
public:
    explicit Pace(ULONGLONG bytesPerSecond) : rate_(bytesPerSecond), start_(GetTickCount64()) {}
    void Copied(ULONGLONG bytes)
    {
        total_ += bytes;
        ULONGLONG due = start_ + total_ * 1000 / rate_;
        ULONGLONG now = GetTickCount64();
        if (due > now)
            Sleep(static_cast<DWORD>(due - now));
    }

private:
    ULONGLONG rate_;
    ULONGLONG start_;
    ULONGLONG total_ = 0;
};

bool CopyFileAtPace(const std::wstring& source, const std::wstring& destination, bool shareRead,
                    Pace* pace)
{
    HANDLE in = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    HANDLE out = CreateFileW(destination.c_str(), GENERIC_WRITE, shareRead ? FILE_SHARE_READ : 0,
                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(in);
        SetLastError(error);
        return false;
    }
    std::vector<uint8_t> piece(PieceBytes);
    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in, piece.data(), PieceBytes, &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(out, piece.data(), read, &written, nullptr) || written != read) {
            ok = false;
            break;
        }
        pace->Copied(read);
    }
    FILETIME created, accessed, modified;
    if (ok && GetFileTime(in, &created, &accessed, &modified))
        ok = SetFileTime(out, nullptr, nullptr, &modified) != 0;
    DWORD error = GetLastError();
    CloseHandle(out);
    CloseHandle(in);
    SetLastError(error);
    return ok;
}

enum class ReadSharing { All, None, Alternate };

struct CopyOptions {
    std::wstring card, destination;
    ULONGLONG bytesPerSecond = 0;
    ReadSharing sharing = ReadSharing::All;
    bool rawFirst = false;
};

bool ParseOptions(int argc, wchar_t** argv, CopyOptions* options)
{
    if (argc < 4)
        return false;
    options->card = argv[1];
    options->destination = argv[2];
    options->bytesPerSecond = _wcstoui64(argv[3], nullptr, 10);
    for (int index = 4; index < argc; ++index) {
        std::wstring option = argv[index];
        if (option == L"--raw-first") {
            options->rawFirst = true;
        } else if (option == L"--share-read" && index + 1 < argc) {
            std::wstring value = argv[++index];
            if (value == L"all")
                options->sharing = ReadSharing::All;
            else if (value == L"none")
                options->sharing = ReadSharing::None;
            else if (value == L"alternate")
                options->sharing = ReadSharing::Alternate;
            else
                return false;
        } else {
            return false;
        }
    }
    return options->bytesPerSecond > 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    CopyOptions options;
    if (!ParseOptions(argc, argv, &options)) {
        fwprintf(stderr, L"usage: card_copier CARD DESTINATION BYTES_PER_SECOND "
                         L"[--share-read all|none|alternate] [--raw-first]\n");
        return 2;
    }
    Pace pace(options.bytesPerSecond);
    int failures = 0;
    size_t index = 0;
    for (const CardGroup& group : GroupsOnCard(options.card)) {
        bool shareRead = options.sharing == ReadSharing::All ||
                         (options.sharing == ReadSharing::Alternate && index % 2 == 0);
        ++index;
        std::vector<std::wstring> order;
        for (const std::vector<std::wstring>* kind :
             {options.rawFirst ? &group.raws : &group.pictures,
              options.rawFirst ? &group.pictures : &group.raws, &group.sidecars})
            order.insert(order.end(), kind->begin(), kind->end());
        for (const std::wstring& name : order) {
            std::wstring destination = options.destination + L"\\" + name;
            if (!CopyFileAtPace(options.card + L"\\" + name, destination, shareRead, &pace)) {
                fwprintf(stderr, L"card_copier: copying %ls failed, error %lu\n",
                         destination.c_str(), GetLastError());
                ++failures;
            }
        }
    }
    return failures ? 1 : 0;
}
