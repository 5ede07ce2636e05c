#include "ToolRun.h"

#include <opencv2/imgcodecs.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ToolResult runTool(const std::string& program, const std::vector<std::string>& args)
{
    TempFolder outputs;
    std::string command = shellQuoted(program);
    for (const std::string& arg : args)
        command += " " + shellQuoted(arg);
    command += " </dev/null >" + shellQuoted(outputs / "out") + " 2>" + shellQuoted(outputs / "err");
    const int status = std::system(command.c_str());
    ToolResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outputs.path() / "out");
    result.err = readFile(outputs.path() / "err");
    return result;
}

TempFolder::TempFolder()
{
    static std::atomic<int> count{0};
    path_ = fs::temp_directory_path() /
            ("tools-test-" + std::to_string(::getpid()) + "-" + std::to_string(count++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

const std::string& sampleRecording()
{
    static std::unique_ptr<TempFolder> folder;
    static std::string root;
    if (!folder) {
        folder = std::make_unique<TempFolder>();
        root = *folder / "sample";
        const ToolResult made = runTool(MAKE_SAMPLE_RECORDING, {root});
        if (made.exitCode != 0)
            throw std::runtime_error("make-sample-recording failed: " + made.err);
    }
    return root;
}

void writeImage(const fs::path& root, const std::string& relative, const cv::Mat& image)
{
    const fs::path path = root / relative;
    fs::create_directories(path.parent_path());
    if (!cv::imwrite(path.string(), image))
        throw std::runtime_error("cannot write " + path.string());
}

void writeBytes(const fs::path& root, const std::string& relative, const std::string& bytes)
{
    const fs::path path = root / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
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
