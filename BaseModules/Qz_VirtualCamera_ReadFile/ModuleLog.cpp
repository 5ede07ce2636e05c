#include "ModuleLog.h"

#include <QDebug>

namespace {

// OpenCV's exception texts end in a line break, and a path may hold one; a
// log line must stay one line.
std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

void logError(const std::string& text) noexcept
{
    try {
        qDebug() << "[ERROR] " << oneLine(text).c_str();
    } catch (...) {
    }
}

void logFailure(const char* what, const char* cause) noexcept
{
    try {
        logError(std::string(what) + ": " + cause);
    } catch (...) {
    }
}

void logWarning(const std::string& text) noexcept
{
    try {
        qDebug() << "[WARN] " << oneLine(text).c_str();
    } catch (...) {
    }
}
