#include "ListingBench.h"

#include "CaptureFolders.h"
#include "FileSearch.h"
#include "Recording.h"

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

double timeSearchFiles(const std::string& folder, std::size_t expected)
{
    std::vector<std::string> files;
    const auto start = BenchClock::now();
    searchFiles(folder, files, "bmp");
    const double micros = microsBetween(start, BenchClock::now());
    if (files.size() != expected)
        throw std::runtime_error("searchFiles found " + std::to_string(files.size()) + " files in " + folder);
    return micros;
}

// The plain walk: the folder's entries whose names end in "bmp", unordered.
double timePlainFileWalk(const std::string& folder, std::size_t expected)
{
    std::vector<std::string> files;
    const auto start = BenchClock::now();
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::string path = entry.path().string();
        if (path.size() >= 3 && path.compare(path.size() - 3, 3, "bmp") == 0)
            files.push_back(std::move(path));
    }
    const double micros = microsBetween(start, BenchClock::now());
    if (files.size() != expected)
        throw std::runtime_error("the plain walk found " + std::to_string(files.size()) + " files");
    return micros;
}

double timeCollectFolders(const std::string& root, std::size_t expected)
{
    std::vector<std::string> folders;
    std::string error;
    const auto start = BenchClock::now();
    const bool ok = collectFolders(root, folders, error);
    const double micros = microsBetween(start, BenchClock::now());
    if (!ok || folders.size() != expected)
        throw std::runtime_error("collectFolders found " + std::to_string(folders.size()) + " folders " + error);
    return micros;
}

// The plain walk: every folder below the root, in the file system's order.
double timePlainFolderWalk(const std::string& root, std::size_t expected)
{
    std::vector<std::string> folders;
    const auto start = BenchClock::now();
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory())
            folders.push_back(entry.path().string());
    }
    const double micros = microsBetween(start, BenchClock::now());
    if (folders.size() != expected)
        throw std::runtime_error("the plain walk found " + std::to_string(folders.size()) + " folders");
    return micros;
}

void compareListing(ResultsTable& table, const std::string& what, const std::string& plainWhat, int runs,
                    const std::function<double()>& helper, const std::function<double()>& plain)
{
    std::vector<double> helperTimes;
    std::vector<double> plainTimes;
    helper();  // warm the directory cache
    plain();
    for (int run = 0; run < runs; ++run) {
        helperTimes.push_back(helper());
        plainTimes.push_back(plain());
    }
    const double ratio = median(helperTimes) / median(plainTimes);
    table.info(what + ", median", formatMicros(median(helperTimes)));
    table.info(plainWhat + ", median", formatMicros(median(plainTimes)));
    table.check(what + " / plain walk", formatNumber(ratio, 2), "<= 2.00", ratio <= 2.0);
}

}  // namespace

void measureListing(ResultsTable& table, const std::string& scratch, int runs)
{
    const int files = 10000;
    const int top = 100;
    const int perTop = 100;
    const std::string fileFolder = makeFileFolder(scratch, files);
    const std::string folderTree = makeFolderTree(scratch, top, perTop);
    const std::size_t folders = static_cast<std::size_t>(top) * perTop;
    table.section("listing: a folder of " + std::to_string(files) + " files; a tree of " +
                  std::to_string(folders) + " folders (" + std::to_string(top) + " x " +
                  std::to_string(perTop) + "); " + std::to_string(runs) + " runs each");
    compareListing(
        table, "searchFiles, 10000 files", "plain std::filesystem walk of the folder", runs,
        [&] { return timeSearchFiles(fileFolder, files); }, [&] { return timePlainFileWalk(fileFolder, files); });
    compareListing(
        table, "collectFolders, 10000 folders", "plain std::filesystem walk of the tree", runs,
        [&] { return timeCollectFolders(folderTree, folders); },
        [&] { return timePlainFolderWalk(folderTree, folders); });
}
