// Appending event lines to the log file: "Lumistamp.Log" in the folder
// "Lumistamp" under the user's local application data folder (the known folder
// FOLDERID_LocalAppData), whatever the current directory. The folder is
// created when missing.
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

// The log file's full path. It is worked out at its first use and kept for
// the life of the process; empty while the known folder cannot be found.
// Takes the history lock.
std::wstring LogFilePath();

// The program's own folder under local application data, "…\Lumistamp", where
// the log file lies and what else the program keeps between runs; empty while
// the known folder cannot be found. Takes the history lock.
std::wstring ProgramDataFolder();

// For tests only, so that no test writes into the user's own folder: the
// given folder stands in for the local application data folder (an empty one
// gives the known folder back), and the path is worked out anew at its next
// use. Returns the folder that stood in before (empty: the known folder).
// Takes the history lock.
std::wstring ReplaceLocalAppDataForTests(const std::wstring& folder);
