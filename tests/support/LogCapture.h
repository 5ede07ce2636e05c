#pragma once
// Collects the lines written on Qt's debug channel while it is alive.

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
    LogCapture();
    ~LogCapture();
    std::vector<LogLine> lines() const;
    std::vector<std::string> texts() const;
    // Lines whose text contains `part`.
    std::vector<std::string> containing(const std::string& part) const;
    void clear();

private:
    QtMessageHandler previous_;
};
