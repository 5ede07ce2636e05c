#pragma once
// Collects the lines written on Qt's debug channel while it is alive. The
// one place the tests install a Qt message handler.

#include <QtGlobal>

#include <string>
#include <thread>
#include <vector>

struct LogLine {
    std::string text;      // as the default handler would print it
    std::string file;      // context of the statement that logged it
    int line = 0;
    std::string function;
    std::thread::id thread;  // that wrote it
};

class LogCapture {
public:
    // `ownWork`, when given, is called with true before and false after the
    // capture keeps a line: a test that watches what the code under test
    // does (the allocation-failure test) tells the capture's work apart.
    using OwnWorkMarker = void (*)(bool starts);
    explicit LogCapture(OwnWorkMarker ownWork = nullptr);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<LogLine> lines() const;
    std::vector<std::string> texts() const;
    // Lines whose text contains `part`.
    std::vector<std::string> containing(const std::string& part) const;
    void clear();

private:
    QtMessageHandler previous_;
};

// How `text` shows between the quotes of a quoted log line: backslashes and
// quotes escaped (so a Windows path's backslashes come doubled).
std::string quotedInLog(const std::string& text);
// `line` with `part`, as written and as quoted, replaced by `by` everywhere.
std::string replacedInLog(std::string line, const std::string& part, const std::string& by);
