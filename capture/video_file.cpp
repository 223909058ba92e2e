#include "capture/video_file.h"

#include "capture/ascii_text.h"

bool IsVideoExtension(const wchar_t* extension)
{
    static const wchar_t* const videoExtensions[] = {L".mov", L".mp4", L".m4v", L".3gp", L".3g2"};
    for (const wchar_t* known : videoExtensions)
        if (AsciiEqualNoCase(extension, known))
            return true;
    return false;
}
