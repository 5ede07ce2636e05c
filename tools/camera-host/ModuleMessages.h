#pragma once
// Keeps the lines the loaded module writes on Qt's debug channel, so the host
// can show them between its own output instead of scattered through it. The
// module writes every line on the thread that called it; the handler would
// be safe for other threads too.

#include <string>
#include <vector>

class ModuleMessages {
public:
    ModuleMessages();   // installs the message handler
    ~ModuleMessages();  // puts the previous handler back
    ModuleMessages(const ModuleMessages&) = delete;
    ModuleMessages& operator=(const ModuleMessages&) = delete;

    // Lines kept since the last call, oldest first.
    std::vector<std::string> take();
};

// True for a line the user must see: an [ERROR] or [WARN] line of the
// module, or a warning that Qt itself raised.
bool isImportantLine(const std::string& line);

// Prints the important lines (all of them when `verbose`) on standard error.
void printModuleLines(const std::vector<std::string>& lines, bool verbose);
