#include "ExtendedPath.h"

#include <cctype>
#include <vector>

namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool startsWith(const std::string& text, const char* head)
{
    return text.compare(0, std::char_traits<char>::length(head), head) == 0;
}

bool hasDrive(const std::string& path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

std::vector<std::string> splitNames(const std::string& text)
{
    std::vector<std::string> names;
    std::string name;
    for (char c : text) {
        if (isSeparator(c)) {
            if (!name.empty())
                names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty())
        names.push_back(name);
    return names;
}

// An absolute path as its root (ending in "\") and the names below it.
struct Absolute {
    std::string root;
    std::vector<std::string> names;
};

// Appends the names of `relative`, "." and ".." taken as Windows takes them.
void appendNames(Absolute& path, const std::string& relative)
{
    for (const std::string& name : splitNames(relative)) {
        if (name == ".")
            continue;
        if (name == "..") {
            if (!path.names.empty())
                path.names.pop_back();
            continue;
        }
        path.names.push_back(name);
    }
}

std::string joined(const Absolute& path)
{
    std::string text = path.root;
    for (std::size_t i = 0; i < path.names.size(); ++i)
        text += (i == 0 ? "" : "\\") + path.names[i];
    return text;
}

// The first `count` names of `text` (after its first `skip` characters), each
// ended by a separator, and where the rest begins; false when fewer are there.
bool leadingNames(const std::string& text, std::size_t skip, int count, std::vector<std::string>& names,
                  std::size_t& rest)
{
    std::size_t at = skip;
    for (int i = 0; i < count; ++i) {
        std::size_t end = at;
        while (end < text.size() && !isSeparator(text[end]))
            ++end;
        if (end == at)
            return false;
        names.push_back(text.substr(at, end - at));
        at = end;
        while (at < text.size() && isSeparator(text[at]))
            ++at;
    }
    rest = at;
    return true;
}

enum class Kind { Absolute, Relative, Malformed };

// `text` (no "\\?\" form) as an absolute path.
Kind parseAbsolute(const std::string& text, Absolute& path)
{
    const bool twoSeparators = text.size() >= 2 && isSeparator(text[0]) && isSeparator(text[1]);
    std::vector<std::string> names;
    std::size_t rest = 0;
    if (twoSeparators && text.size() >= 3 && (text[2] == '.' || text[2] == '?') &&
        (text.size() == 3 || isSeparator(text[3]))) {
        // "\\.\device\..." (or "//?/..."): the device name is the root.
        if (!leadingNames(text, 4, 1, names, rest))
            return Kind::Malformed;
        path.root = "\\\\?\\" + names[0] + "\\";
    } else if (twoSeparators) {
        if (!leadingNames(text, 2, 2, names, rest))
            return Kind::Malformed;
        path.root = "\\\\?\\UNC\\" + names[0] + "\\" + names[1] + "\\";
    } else if (hasDrive(text) && text.size() >= 3 && isSeparator(text[2])) {
        path.root = "\\\\?\\" + text.substr(0, 2) + "\\";
        rest = 3;
    } else {
        return Kind::Relative;
    }
    appendNames(path, text.substr(rest));
    return Kind::Absolute;
}

// A "\\?\" current folder as root and names, taken literally.
Absolute parseExtended(const std::string& text)
{
    Absolute path;
    const std::size_t prefix = startsWith(text, "\\\\?\\UNC\\") ? 8 : 4;
    const int rootNames = prefix == 8 ? 2 : 1;
    std::vector<std::string> names;
    std::size_t rest = 0;
    if (!leadingNames(text, prefix, rootNames, names, rest))
        return path;
    path.root = text.substr(0, prefix);
    for (const std::string& name : names)
        path.root += name + "\\";
    for (const std::string& name : splitNames(text.substr(rest)))
        path.names.push_back(name);
    return path;
}

}  // namespace

std::string windowsExtendedPath(const std::string& path, const std::string& currentFolder)
{
    if (path.empty())
        return {};
    if (startsWith(path, "\\\\?\\") || startsWith(path, "\\??\\"))
        return path;
    Absolute absolute;
    const Kind kind = parseAbsolute(path, absolute);
    if (kind != Kind::Relative)
        return kind == Kind::Absolute ? joined(absolute) : std::string();
    // Relative in some way: continue from the current folder.
    Absolute current;
    if (startsWith(currentFolder, "\\\\?\\"))
        current = parseExtended(currentFolder);
    else if (parseAbsolute(currentFolder, current) != Kind::Absolute)
        return {};
    if (current.root.empty())
        return {};
    std::string relative = path;
    if (hasDrive(path)) {
        // "C:x": from the current folder when it is on drive C, else from C:\.
        const std::string drive = current.root.size() == 7 ? current.root.substr(4, 2) : std::string();
        const bool sameDrive = drive.size() == 2 && drive[1] == ':' &&
                               std::toupper(static_cast<unsigned char>(drive[0])) ==
                                   std::toupper(static_cast<unsigned char>(path[0]));
        if (!sameDrive) {
            current.root = "\\\\?\\" + path.substr(0, 2) + "\\";
            current.names.clear();
        }
        relative = path.substr(2);
    } else if (isSeparator(path[0])) {
        current.names.clear();  // "\x": from the current drive's (or share's) root
    }
    appendNames(current, relative);
    return joined(current);
}
