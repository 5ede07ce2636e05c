#include "ModuleMessages.h"

#include "Console.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <mutex>

namespace {

std::mutex& keptMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<std::string>& kept()
{
    static std::vector<std::string> lines;
    return lines;
}

QtMessageHandler& previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

const char kQtWarningTag[] = "[Qt] ";

void keepLine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    std::string line = message.toStdString();
    if (type != QtDebugMsg && type != QtInfoMsg && line.rfind("[", 0) != 0)
        line = kQtWarningTag + line;
    if (type == QtFatalMsg) {
        // Qt ends the process right after this handler returns.
        printText(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
        return;
    }
    std::lock_guard<std::mutex> lock(keptMutex());
    kept().push_back(std::move(line));
}

}  // namespace

ModuleMessages::ModuleMessages()
{
    previousHandler() = qInstallMessageHandler(keepLine);
}

ModuleMessages::~ModuleMessages()
{
    qInstallMessageHandler(previousHandler());
}

std::vector<std::string> ModuleMessages::take()
{
    std::lock_guard<std::mutex> lock(keptMutex());
    std::vector<std::string> lines;
    lines.swap(kept());
    return lines;
}

bool isImportantLine(const std::string& line)
{
    return line.rfind("[ERROR]", 0) == 0 || line.rfind("[WARN]", 0) == 0 || line.rfind(kQtWarningTag, 0) == 0;
}

void printModuleLines(const std::vector<std::string>& lines, bool verbose)
{
    for (const std::string& line : lines) {
        if (verbose || isImportantLine(line))
            printText(stderr, "module: %s\n", line.c_str());
    }
    std::fflush(stderr);
}
