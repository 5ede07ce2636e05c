// Name matching of the file search: nameEndsWith against a plain reference,
// and the platform search itself on a real folder: a file named by the input
// is found by "*ending" exactly when its name ends in the ending.
//
// Input: a name and an ending, separated by the first NUL byte.

#include "Names.h"
#include "PlatformPaths.h"

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition, const char* what, const std::string& name, const std::string& ending)
{
    if (!condition) {
        std::fprintf(stderr, "name matching broke a rule: %s (name \"%s\", ending \"%s\")\n", what,
                     name.c_str(), ending.c_str());
        std::abort();
    }
}

std::string upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool referenceEndsWith(const std::string& name, const std::string& ending)
{
    return ending.size() <= name.size() && upper(name).compare(name.size() - ending.size(), ending.size(),
                                                               upper(ending)) == 0;
}

const std::string& searchFolder()
{
    static const std::string folder = [] {
        const char* temp = std::getenv("TMPDIR");
        std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/fuzz-names-XXXXXX";
        return std::string(::mkdtemp(&pattern[0]) ? pattern : "/tmp");
    }();
    return folder;
}

bool usableFileName(const std::string& name)
{
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find('/') == std::string::npos;
}

// Whether the search of the folder for "*ending" lists `name`.
bool searchFinds(const std::string& name, const std::string& ending)
{
    std::vector<FindData> entries;
    std::string error;
    listFolder(searchFolder(), ending, entries, error);
    for (const FindData& entry : entries) {
        if (entry.name == name)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\0');
    const std::string name = input.substr(0, cut);
    const std::string ending = cut == std::string::npos ? std::string() : input.substr(cut + 1);

    const bool matches = nameEndsWith(name, ending);
    check(matches == referenceEndsWith(name, ending), "differs from the reference", name, ending);
    check(nameEndsWith(name, ""), "empty ending must match", name, ending);
    check(nameEndsWith(name, upper(name)), "a name must end in itself upper-cased", name, ending);

    if (!usableFileName(name) || ending.find('\0') != std::string::npos || ending.find('/') != std::string::npos)
        return 0;
    const std::string path = searchFolder() + "/" + name;
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    if (fd < 0)
        return 0;
    ::close(fd);
    check(searchFinds(name, ending) == matches, "the search disagrees with nameEndsWith", name, ending);
    ::unlink(path.c_str());
    return 0;
}
