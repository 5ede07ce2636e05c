// console_probe TOOL [ARG...]: runs a tool on this process's own console, as
// a user in a console window does, and tells whether the tool left the
// console's output code page as it found it. For scripts/test-windows, which
// runs it in a pseudo-terminal (Wine then gives it a real console).
// Prints "console output code page: B before, A after, exit code E" on the
// console; exit status 0 when B equals A and the tool ended with 0, 1 when
// not, 2 with no console or no tool started.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

int main()
{
    const UINT before = ::GetConsoleOutputCP();
    if (before == 0) {
        std::printf("console_probe: no console\n");
        return 2;
    }
    // The tool's command line: this one's, less the probe's own name.
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring commandLine;
    for (int i = 1; arguments && i < count; ++i)
        commandLine += (i > 1 ? L" \"" : L"\"") + std::wstring(arguments[i]) + L"\"";
    if (commandLine.empty()) {
        std::printf("usage: console_probe TOOL [ARG...]\n");
        return 2;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process)) {
        std::printf("console_probe: cannot start the tool (error %lu)\n", ::GetLastError());
        return 2;
    }
    DWORD exitCode = 1;
    if (::WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0)
        ::TerminateProcess(process.hProcess, 1);
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    const UINT after = ::GetConsoleOutputCP();
    std::printf("console output code page: %u before, %u after, exit code %lu\n", before, after, exitCode);
    return before == after && exitCode == 0 ? 0 : 1;
}
