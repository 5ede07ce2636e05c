#pragma once
// Text at the Windows API boundary. Paths stay UTF-8 std::strings inside the
// core; every file call on Windows takes them as UTF-16 through these, so a
// name outside the ANSI code page is still found. Windows builds only.

#include <string>

// UTF-16 form of UTF-8 `text`; a byte that is not UTF-8 becomes U+FFFD.
std::wstring wideFromUtf8(const std::string& text);
// UTF-8 form of UTF-16 `text`, surrogate pairs joined.
std::string utf8FromWide(const std::wstring& text);
// UTF-8 form of `text` read in the ANSI code page (GetACP).
std::string utf8FromAnsi(const std::string& text);
bool isUtf8(const std::string& text);
// The system's wording of GetLastError(), as UTF-8, without the final period.
std::string lastErrorText();
