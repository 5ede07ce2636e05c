#include "RecordingChecks.h"

#include "Names.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Endings of files that are images to a person, whether or not the module reads them.
bool looksLikeImage(const std::string& name)
{
    for (const char* ending : {".bmp", ".tif", ".tiff", ".png", ".jpg", ".jpeg"}) {
        if (nameEndsWith(name, ending))
            return true;
    }
    return false;
}

bool modeReads(CameraMode mode, const std::string& name)
{
    for (const std::string& ending : endingsOf(mode)) {
        if (nameEndsWith(name, ending))
            return true;
    }
    return false;
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::size_t imageFilesIn(const std::string& folder)
{
    std::size_t count = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && looksLikeImage(it->path().filename().string()))
            ++count;
    }
    return count;
}

}  // namespace

std::string folderBelowRoot(const std::string& folder, const std::string& root)
{
    // The walk joins the root, less its trailing separators, with the names;
    // std::filesystem's lexically_relative takes "\\?\C:" apart and gives "".
    const auto isSeparator = [](char c) { return c == '/' || c == std::filesystem::path::preferred_separator; };
    std::size_t end = root.size();
    while (end > 0 && isSeparator(root[end - 1]))
        --end;
    if (folder.compare(0, end, root, 0, end) != 0 || folder.size() <= end || !isSeparator(folder[end]))
        return std::filesystem::u8path(folder).lexically_relative(std::filesystem::u8path(root)).u8string();
    std::size_t start = end;
    while (start < folder.size() && isSeparator(folder[start]))
        ++start;
    return folder.substr(start);
}

std::string countOf(std::size_t count, const std::string& singular)
{
    return std::to_string(count) + " " + singular + (count == 1 ? "" : "s");
}

std::string rootWithoutCapturesProblem(const std::string& root, std::size_t folderCount)
{
    if (folderCount > 0)
        return {};
    std::string text = root + " holds no capture folder (the module replays one sub-folder per capture)";
    const std::size_t images = imageFilesIn(root);
    if (images > 0)
        text += "; it holds " + countOf(images, "image file") +
                " itself: point field 4 of the parameter string at the folder above it, "
                "or move the files into a sub-folder";
    return text;
}

std::string imagesInRootProblem(const std::string& root)
{
    const std::size_t images = imageFilesIn(root);
    if (images == 0)
        return {};
    return root + " holds " + countOf(images, "image file") +
           " itself, which the module never reads: only sub-folders are capture folders";
}

std::string unknownCameraProblem(const std::string& cameraName)
{
    if (cameraModeOf(cameraName) != CameraMode::None)
        return {};
    std::string text = "camera name \"" + cameraName +
                       "\" is none of " + cameraNamesText() + ": every frame will be empty";
    for (const CameraModeRow& row : kCameraModes) {
        if (lowerCase(row.cameraName) == lowerCase(cameraName))
            text += " (case matters: did you mean " + std::string(row.cameraName) + "?)";
    }
    return text;
}

std::vector<std::string> passedOverImageFiles(const std::string& captureFolder, CameraMode mode,
                                              const std::string& cameraName)
{
    std::vector<std::string> names;
    if (mode == CameraMode::None)
        return names;
    std::error_code ec;
    for (fs::directory_iterator it(captureFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.find(cameraName) != std::string::npos && looksLikeImage(name) && !modeReads(mode, name) &&
            it->is_regular_file(ec))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), ntfsNameLess);
    return names;
}

std::string readEndings(CameraMode mode)
{
    return endingsText(mode, " or ");
}
