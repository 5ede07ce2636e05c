#include "ToolRun.h"

#include <QProcess>
#include <QStringList>
#include <QtGlobal>

#include <opencv2/imgcodecs.hpp>

#include <memory>
#include <sstream>
#include <stdexcept>

ToolResult runTool(const std::string& program, const std::vector<std::string>& args)
{
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QString::fromStdString(program), arguments);
    ToolResult result;
    if (!process.waitForStarted()) {
        result.err = "cannot start " + program + ": " + process.errorString().toStdString();
        return result;
    }
    const bool finished = process.waitForFinished(TOOL_TIME_LIMIT_SECONDS * 1000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    // A Windows console program writes "\r\n".
    result.out = process.readAllStandardOutput().replace("\r\n", "\n").toStdString();
    result.err = process.readAllStandardError().replace("\r\n", "\n").toStdString();
    if (!finished)
        result.err += "\n" + program + " did not finish within " + std::to_string(TOOL_TIME_LIMIT_SECONDS) + " s";
    else if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    else
        result.err += "\n" + program + " crashed";
    return result;
}

const std::string& imageEnding()
{
    static const std::string ending = cv::haveImageWriter("x.png") ? ".png" : ".tiff";
    return ending;
}

const std::string& sampleRecording()
{
    static std::unique_ptr<TempFolder> folder;
    static std::string root;
    if (!folder) {
        folder = std::make_unique<TempFolder>();
        root = folder->at("sample");
        const ToolResult made = runTool(MAKE_SAMPLE_RECORDING, {root});
        if (made.exitCode != 0)
            throw std::runtime_error("make-sample-recording failed: " + made.err);
    }
    return root;
}

const std::string& otherQtModule()
{
    static TempFolder folder;
    static const std::string path = [] {
        const std::string other = QT_VERSION_MAJOR == 5 ? "6" : "5";
        writeBytes(folder.path(), "module.so", std::string("\x7f" "ELF\0libQt", 10) + other + "Core.so." + other);
        return folder.at("module.so");
    }();
    return path;
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0)
            lines.push_back(line);
    return lines;
}
