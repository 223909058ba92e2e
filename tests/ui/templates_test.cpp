// The dialog templates as the program carries them: every field the dialog and
// its pages rely on, read back from Lumistamp.exe's resources.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

namespace {

struct ControlTemplate {
    int32_t id;
    std::wstring className;  // upper case: class names are case-insensitive
    std::wstring text;
    int16_t x, y, cx, cy;
    uint32_t style;
    uint32_t extendedStyle = 0;
    uint32_t helpId = 0;
    bool operator==(const ControlTemplate&) const = default;
};

void PrintTo(const ControlTemplate& c, std::ostream* os)
{
    *os << "{id " << c.id << ", " << testing::PrintToString(c.className) << ", "
        << testing::PrintToString(c.text) << ", " << c.x << "," << c.y << "," << c.cx << "," << c.cy
        << ", style 0x" << std::hex << c.style << ", ex 0x" << c.extendedStyle << ", help 0x"
        << c.helpId << std::dec << "}";
}

struct DialogTemplate {
    uint32_t style;
    uint32_t extendedStyle;
    int16_t x, y, cx, cy;
    std::wstring menu, className, caption;
    uint16_t pointSize, weight;
    uint8_t italic, charset;
    std::wstring font;
    std::vector<ControlTemplate> controls;
};

// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX
// records), checking every read against the resource's size.
class TemplateReader {
public:
    TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }

    template <typename T>
    T Read()
    {
        T value{};
        if (at_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        memcpy(&value, data_ + at_, sizeof(T));
        at_ += sizeof(T);
        return value;
    }

    std::wstring String()
    {
        std::wstring text;
        for (wchar_t c = Read<wchar_t>(); ok_ && c != L'\0'; c = Read<wchar_t>())
            text += c;
        return text;
    }

    // A name or an ordinal; predefined control classes come back by name
    // (resource compilers write either).
    std::wstring NameOrOrdinal()
    {
        if (at_ + 2 <= size_ && Peek() == 0xFFFF) {
            Read<uint16_t>();
            switch (uint16_t ordinal = Read<uint16_t>()) {
            case 0x80:
                return L"BUTTON";
            case 0x81:
                return L"EDIT";
            case 0x82:
                return L"STATIC";
            case 0x83:
                return L"LISTBOX";
            default:
                return L"#" + std::to_wstring(ordinal);
            }
        }
        return String();
    }

    void AlignToDword() { at_ = (at_ + 3) & ~size_t(3); }

private:
    uint16_t Peek() const
    {
        uint16_t value;
        memcpy(&value, data_ + at_, sizeof(value));
        return value;
    }

    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

DialogTemplate ReadTemplate(const uint8_t* data, size_t size)
{
    TemplateReader in(data, size);
    DialogTemplate dialog{};
    EXPECT_EQ(in.Read<uint16_t>(), 1) << "version of an extended template";
    EXPECT_EQ(in.Read<uint16_t>(), 0xFFFF) << "signature of an extended template";
    EXPECT_EQ(in.Read<uint32_t>(), 0u) << "help id";
    dialog.extendedStyle = in.Read<uint32_t>();
    dialog.style = in.Read<uint32_t>();
    uint16_t count = in.Read<uint16_t>();
    dialog.x = in.Read<int16_t>();
    dialog.y = in.Read<int16_t>();
    dialog.cx = in.Read<int16_t>();
    dialog.cy = in.Read<int16_t>();
    dialog.menu = in.NameOrOrdinal();
    dialog.className = in.NameOrOrdinal();
    dialog.caption = in.String();
    dialog.pointSize = in.Read<uint16_t>();
    dialog.weight = in.Read<uint16_t>();
    dialog.italic = in.Read<uint8_t>();
    dialog.charset = in.Read<uint8_t>();
    dialog.font = in.String();
    for (uint16_t index = 0; index < count && in.ok(); ++index) {
        in.AlignToDword();
        ControlTemplate control{};
        control.helpId = in.Read<uint32_t>();
        control.extendedStyle = in.Read<uint32_t>();
        control.style = in.Read<uint32_t>();
        control.x = in.Read<int16_t>();
        control.y = in.Read<int16_t>();
        control.cx = in.Read<int16_t>();
        control.cy = in.Read<int16_t>();
        control.id = in.Read<int32_t>();
        control.className = in.NameOrOrdinal();
        for (wchar_t& c : control.className)
            c = static_cast<wchar_t>(towupper(c));
        control.text = in.NameOrOrdinal();
        uint16_t extra = in.Read<uint16_t>();
        for (uint16_t byte = 0; byte < extra; ++byte)
            in.Read<uint8_t>();
        dialog.controls.push_back(control);
    }
    EXPECT_TRUE(in.ok()) << "the template ends early";
    return dialog;
}

struct TemplateCase {
    const char* name;
    int id;
    uint32_t style;
    const wchar_t* caption;
    int16_t x, y, cx, cy;
    std::vector<ControlTemplate> controls;
};

void PrintTo(const TemplateCase& c, std::ostream* os) { *os << c.name; }

const uint32_t PageStyle = 0x42000448;
const uint32_t CounterStyle = 0x50020000;

const TemplateCase Templates[] = {
    {"settings_dialog_130",
     130,
     0x80C808C8,
     L"Lumistamp",
     0,
     0,
     310,
     220,
     {{1, L"BUTTON", L"OK", 198, 193, 50, 14, 0x50010001},
      {2, L"BUTTON", L"Cancel", 252, 193, 50, 14, 0x50010000},
      {1000, L"SYSTABCONTROL32", L"", 7, 7, 295, 178, 0x50000200}}},
    {"settings_page_133",
     133,
     0x42000048,
     L"",
     10,
     20,
     280,
     160,
     {{1001, L"BUTTON", L"Start Program after Logon:", 10, 6, 172, 10, 0x50010023},
      {1005, L"LISTBOX", L"", 17, 70, 246, 38, 0x50A10103},
      {-1, L"BUTTON", L"Folders to monitor:", 7, 57, 263, 77, 0x50000007},
      {1006, L"BUTTON", L"Add Folder", 154, 114, 50, 14, 0x50010000},
      {1007, L"BUTTON", L"Delete Folder", 214, 114, 50, 14, 0x50010000},
      {1010, L"BUTTON", L"Write Log File:", 10, 18, 172, 10, 0x50010023},
      {1011, L"BUTTON", L"Use 'File Modified Date' if there is no Exif info", 10, 31, 172, 10,
       0x50010023},
      {-1, L"STATIC", L"Files that travel with a picture:", 10, 139, 108, 8, 0x50000000},
      {1020, L"EDIT", L"", 120, 137, 150, 12, 0x50810080},
      {-1, L"STATIC", L"Extensions without dots, e.g. NEF CR2 XMP", 120, 151, 150, 8, 0x50000000},
      {1021, L"BUTTON", L"Rename HEIC/HEIF pictures too", 10, 44, 172, 10, 0x50010023},
      {1022, L"BUTTON", L"Rename videos too", 190, 44, 80, 10, 0x50010023}}},
    {"statistics_page_137",
     137,
     PageStyle,
     L"",
     10,
     20,
     280,
     150,
     {{-1, L"STATIC", L"Number of Pictures renamed:", 9, 75, 94, 8, CounterStyle},
      {-1, L"STATIC", L"Number of Pictures processed:", 7, 52, 99, 8, CounterStyle},
      {-1, L"STATIC", L"Number of Folders monitored:", 7, 28, 96, 8, CounterStyle},
      {1009, L"STATIC", L"Static", 148, 28, 19, 8, CounterStyle},
      {1010, L"STATIC", L"Static", 148, 52, 19, 8, CounterStyle},
      {1011, L"STATIC", L"Static", 148, 75, 19, 8, CounterStyle}}},
    {"events_page_132",
     132,
     PageStyle,
     L"",
     10,
     20,
     280,
     150,
     {{1002, L"LISTBOX", L"", 7, 7, 268, 132, 0x50B10101}}},
    {"about_page_131",
     131,
     PageStyle,
     L"",
     10,
     20,
     280,
     150,
     {{1003, L"EDIT", L"", 7, 7, 295, 162, 0x50210805}}},
};

std::wstring ProgramPath()
{
    std::string path = LUMISTAMP_EXE;
    return std::wstring(path.begin(), path.end());
}

class DialogTemplates : public testing::TestWithParam<TemplateCase> {};

TEST_P(DialogTemplates, HoldExactlyWhatTheDialogsRelyOn)
{
    const TemplateCase& c = GetParam();
    HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr);
    HRSRC found = FindResourceExW(program, RT_DIALOG, MAKEINTRESOURCEW(c.id),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr) << "no English (United States) template " << c.id;
    DialogTemplate dialog =
        ReadTemplate(static_cast<const uint8_t*>(LockResource(LoadResource(program, found))),
                     SizeofResource(program, found));
    FreeLibrary(program);

    EXPECT_EQ(dialog.style, c.style);
    EXPECT_EQ(dialog.extendedStyle, 0u);
    EXPECT_EQ((std::vector<int>{dialog.x, dialog.y, dialog.cx, dialog.cy}),
              (std::vector<int>{c.x, c.y, c.cx, c.cy}));
    EXPECT_EQ(dialog.menu, L"");
    EXPECT_EQ(dialog.className, L"");
    EXPECT_EQ(dialog.caption, c.caption);
    EXPECT_EQ(dialog.font, L"MS Shell Dlg");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 1);
    EXPECT_EQ(dialog.controls, c.controls);
}

INSTANTIATE_TEST_SUITE_P(Program, DialogTemplates, testing::ValuesIn(Templates),
                         [](const testing::TestParamInfo<TemplateCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
