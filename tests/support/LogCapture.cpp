#include "LogCapture.h"

#include <QString>

#include <mutex>
#include <thread>

namespace {

std::mutex& logMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::vector<LogLine>& captured()
{
    static std::vector<LogLine> lines;
    return lines;
}

LogCapture::OwnWorkMarker ownWorkMarker = nullptr;

void capture(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (ownWorkMarker)
        ownWorkMarker(true);
    LogLine line;
    line.text = message.toStdString();
    line.file = context.file ? context.file : "";
    line.line = context.line;
    line.function = context.function ? context.function : "";
    line.thread = std::this_thread::get_id();
    {
        std::lock_guard<std::mutex> lock(logMutex());
        captured().push_back(line);
    }
    if (ownWorkMarker)
        ownWorkMarker(false);
}

}  // namespace

LogCapture::LogCapture(OwnWorkMarker ownWork)
{
    clear();
    ownWorkMarker = ownWork;
    previous_ = qInstallMessageHandler(capture);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous_);
    ownWorkMarker = nullptr;
}

std::vector<LogLine> LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(logMutex());
    return captured();
}

std::vector<std::string> LogCapture::texts() const
{
    std::vector<std::string> out;
    for (const LogLine& line : lines())
        out.push_back(line.text);
    return out;
}

std::vector<std::string> LogCapture::containing(const std::string& part) const
{
    std::vector<std::string> out;
    for (const std::string& text : texts()) {
        if (text.find(part) != std::string::npos)
            out.push_back(text);
    }
    return out;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(logMutex());
    captured().clear();
}

std::string quotedInLog(const std::string& text)
{
    std::string quoted;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    return quoted;
}

std::string replacedInLog(std::string line, const std::string& part, const std::string& by)
{
    for (const std::string& form : {quotedInLog(part), part}) {
        for (std::size_t at = 0; !form.empty() && (at = line.find(form, at)) != std::string::npos; at += by.size())
            line.replace(at, form.size(), by);
    }
    return line;
}
