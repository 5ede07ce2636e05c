#include "ModuleLog.h"

#include <QDebug>

#include <cstdio>

std::string withVisibleControls(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
            continue;
        }
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\0': out += "\\0"; break;
        default: {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
        }
    }
    return out;
}

std::string causeText(const char* what)
{
    std::string text(what ? what : "");
    text.erase(text.find_last_not_of(" \r\n") + 1);
    return text;
}

void logError(const std::string& text) noexcept
{
    try {
        qDebug() << "[ERROR] " << withVisibleControls(text).c_str();
    } catch (...) {
    }
}

void logWarning(const std::string& text) noexcept
{
    try {
        qDebug() << "[WARN] " << withVisibleControls(text).c_str();
    } catch (...) {
    }
}

void logFailure(const char* function, const char* cause) noexcept
{
    try {
        logError(std::string(function) + " failed: " + causeText(cause));
    } catch (...) {
    }
}

void CollectedLog::keep(bool error, const std::string& text) noexcept
{
    try {
        lines.push_back({error, text});
    } catch (...) {
        // Out of memory: the line is lost, the grab goes on.
    }
}

void CollectedLog::error(const std::string& text) noexcept
{
    keep(true, text);
}

void CollectedLog::warning(const std::string& text) noexcept
{
    keep(false, text);
}

void CollectedLog::append(const CollectedLog& other) noexcept
{
    for (const Line& line : other.lines)
        keep(line.error, line.text);
}

LogSink CollectedLog::warnings()
{
    return [this](const std::string& text) { warning(text); };
}

void CollectedLog::writeOut() noexcept
{
    for (const Line& line : lines) {
        if (line.error)
            logError(line.text);
        else
            logWarning(line.text);
    }
    lines.clear();
}
