#include "Console.h"

#include <unistd.h>

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

std::vector<std::string> utf8Arguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv, argv + argc);
}

void useUtf8Console() {}

void writeText(std::FILE* stream, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::FILE* openUtf8File(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}
