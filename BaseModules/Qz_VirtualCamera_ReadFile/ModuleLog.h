#pragma once
// Error and warning lines of the module on Qt's debug channel, tagged
// "[ERROR] " and "[WARN] ". They never throw, so they are safe in catch
// blocks and on the worker thread. Line breaks in the text become blanks,
// so each call writes exactly one line.

#include <string>

void logError(const std::string& text) noexcept;
// "[ERROR] what: cause". Takes plain texts, so a catch block that reports
// with it cannot throw while building the line (not even out of memory).
void logFailure(const char* what, const char* cause) noexcept;
void logWarning(const std::string& text) noexcept;
