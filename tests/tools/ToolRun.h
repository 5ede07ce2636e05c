#pragma once
// Runs the built tools as a user would, and makes small recordings for them.

#include <opencv2/core/mat.hpp>

#include <filesystem>
#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs `program` with `args` (standard input empty) and waits for it.
ToolResult runTool(const std::string& program, const std::vector<std::string>& args);

// A fresh folder, removed with everything in it when this goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The sample recording, made once per test process.
const std::string& sampleRecording();

// Writes `image` at root/relative, making folders on the way.
void writeImage(const std::filesystem::path& root, const std::string& relative, const cv::Mat& image);
// Writes `bytes` at root/relative, making folders on the way.
void writeBytes(const std::filesystem::path& root, const std::string& relative, const std::string& bytes);

// Lines of `text` that start with `prefix`.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix);
