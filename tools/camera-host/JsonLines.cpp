#include "JsonLines.h"

#include "Console.h"
#include "ImageText.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

void writeLine(std::FILE* out, const QJsonObject& object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    writeText(out, line.toStdString() + "\n");
    std::fflush(out);
}

}  // namespace

std::vector<ImageEntry> imageEntries(const std::vector<std::string>& files, const std::vector<cv::Mat>& images)
{
    const bool named = files.size() == images.size();
    std::vector<ImageEntry> entries;
    for (std::size_t i = 0; i < images.size(); ++i)
        entries.push_back({named ? files[i] : std::string(), images[i].cols, images[i].rows,
                           typeName(images[i].type()), images[i].empty()});
    return entries;
}

QJsonObject cameraFrameJson(const std::string& param, const std::string& captureFolder,
                            const std::vector<ImageEntry>& images)
{
    QJsonArray imageList;
    for (const ImageEntry& image : images) {
        QJsonObject entry;
        entry["file"] = image.file.empty() ? QJsonValue() : QJsonValue(text(image.file));
        entry["width"] = image.width;
        entry["height"] = image.height;
        entry["type"] = text(image.type);
        entry["empty"] = image.empty;
        imageList.append(entry);
    }
    QJsonObject camera;
    camera["param"] = text(param);
    camera["captureFolder"] = text(captureFolder);
    camera["images"] = imageList;
    return camera;
}

void writeFrameLine(std::FILE* out, int number, const QJsonArray& cameras)
{
    QJsonObject frame;
    frame["frame"] = number;
    frame["cameras"] = cameras;
    writeLine(out, frame);
}

void writeSummaryLine(std::FILE* out, const QJsonObject& summary)
{
    writeLine(out, QJsonObject{{"summary", summary}});
}

std::FILE* openJsonOutput(const std::string& file)
{
    if (file == "-")
        return stdout;
    std::FILE* out = openUtf8File(file, "w");
    if (!out)
        printText(stderr, "camera-host: cannot write the JSON file %s: %s\n", file.c_str(), std::strerror(errno));
    return out;
}

void closeJsonOutput(std::FILE* out)
{
    if (out && out != stdout)
        std::fclose(out);
}
