#include "Files.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

void writeBytes(const fs::path& root, const std::string& relative, const std::string& bytes)
{
    const fs::path path = root / fs::u8path(relative).make_preferred();  // UTF-8 names everywhere
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
