#include "TempFolder.h"

#include "Files.h"
#include "PlatformPaths.h"

#include <chrono>
#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

TempFolder::TempFolder()
{
    // Random names keep runs of the same test in other build trees apart.
    std::random_device device;
    std::mt19937_64 random(device() ^ static_cast<std::uint64_t>(
                                          std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("tests-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            root = candidate.string();
            return;
        }
    }
    throw std::runtime_error("no fresh temporary folder");
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    for (const fs::path& folder : denied)
        fs::permissions(folder, fs::perms::owner_all, ignored);
    fs::remove_all(root, ignored);
}

std::string TempFolder::at(const std::string& relative) const
{
    std::string path = root + kPathSeparator;
    for (const char c : relative)
        path += c == '/' ? std::string(kPathSeparator) : std::string(1, c);
    return path;
}

void TempFolder::make(const std::vector<std::string>& entries) const
{
    for (const std::string& entry : entries) {
        const fs::path path = fs::u8path(at(entry));  // names in UTF-8 on every platform
        if (entry.back() == '/') {
            fs::create_directories(path);
            continue;
        }
        writeBytes(path.parent_path(), path.filename().u8string(), "x");
    }
}

bool TempFolder::link(const std::string& relative, const std::string& target) const
{
    std::error_code error;
    fs::create_directory_symlink(target.empty() ? fs::path(root) : fs::path(at(target)), at(relative), error);
    return !error;
}

bool TempFolder::denyReading(const std::string& relative)
{
    const fs::path folder = at(relative);
    fs::permissions(folder, fs::perms::none);
    denied.push_back(folder);
    std::error_code error;
    fs::directory_iterator probe(folder, error);
    return static_cast<bool>(error);
}

std::vector<std::string> pathsUnder(const TempFolder& folder, const std::vector<std::string>& relatives)
{
    std::vector<std::string> paths;
    for (const std::string& relative : relatives)
        paths.push_back(folder.at(relative));
    return paths;
}
