// Appending event lines to "Lumistamp.Log" in the current directory.
#pragma once

#include <cstdint>
#include <string>

enum class LogFileResult { Written, OpenFailed, WriteFailed };

// Appends one record (the line as 8-bit text, then CR LF) to the log file,
// opening and closing it for this one line. On failure, error receives the
// system error code. Callers serialise calls (the history lock does).
LogFileResult AppendToLogFile(const std::wstring& line, uint32_t* error);

// The record's 8-bit text: each UTF-16 code unit up to U+00FF becomes its
// Latin-1 byte, any other becomes '?', so a line is never lost from the file.
std::string ToLatin1(const std::wstring& line);
