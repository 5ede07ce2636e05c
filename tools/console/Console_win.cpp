#include "Console.h"

#include "WindowsText.h"

#include <windows.h>

#include <io.h>
#include <shellapi.h>
#include <stdio.h>

bool stderrIsTerminal()
{
    return ::_isatty(::_fileno(stderr)) != 0;
}

std::vector<std::string> utf8Arguments(int argc, char* argv[])
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void useUtf8Console()
{
    ::SetConsoleOutputCP(CP_UTF8);
}

std::FILE* openUtf8File(const std::string& path, const char* mode)
{
    return ::_wfopen(wideFromUtf8(path).c_str(), wideFromUtf8(mode).c_str());
}
