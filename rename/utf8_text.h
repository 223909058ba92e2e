// UTF-8 as the kept files and the journal hold names, and back.
#pragma once

#include <string>

std::string Utf8(const std::wstring& text);
// False for bytes that are not UTF-8.
bool Wide(const std::string& bytes, std::wstring* text);
