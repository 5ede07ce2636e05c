#pragma once
// Error and warning lines of the module on Qt's debug channel, tagged
// "[ERROR] " and "[WARN] ". They never throw, so they are safe in catch
// blocks. Control characters in the text (from a path, a parameter string,
// an exception text) are shown as escapes, so each call writes exactly one
// whole line.
//
// Only threads the host called the module on write to Qt's channel: a grab
// collects its lines in a CollectedLog, which run writes out.

#include "Log.h"

#include <string>
#include <vector>

void logError(const std::string& text) noexcept;
void logWarning(const std::string& text) noexcept;
// "[ERROR] <function> failed: <cause>". Takes plain texts, so a catch block
// that reports with it cannot throw while building the line (not even out
// of memory). Trailing line breaks of the cause (OpenCV ends its exception
// texts with one) are dropped.
void logFailure(const char* function, const char* cause) noexcept;

// `text` with control characters as "\r", "\n", "\t", "\0" or "\xNN".
std::string withVisibleControls(const std::string& text);
// An exception's text without the line break some libraries end it with.
std::string causeText(const char* what);

// Lines kept in the order they arose, to be written later by another thread.
class CollectedLog {
public:
    void error(const std::string& text) noexcept;
    void warning(const std::string& text) noexcept;
    // Keeps `other`'s lines after these.
    void append(const CollectedLog& other) noexcept;
    // A sink for the core that keeps its reports as warnings.
    LogSink warnings();
    // Writes every line, in order, on the calling thread, and forgets them.
    void writeOut() noexcept;
    bool empty() const { return lines.empty(); }
    void clear() noexcept { lines.clear(); }

private:
    struct Line {
        bool error;
        std::string text;
    };
    void keep(bool error, const std::string& text) noexcept;
    std::vector<Line> lines;
};
