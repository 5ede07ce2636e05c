#include "Console.h"

#include "WindowsText.h"

#include <windows.h>

#include <io.h>
#include <shellapi.h>
#include <stdio.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The console's output code page before useUtf8Console; 0 when it set none.
UINT g_outputCodePageBefore = 0;

void restoreOutputCodePage()
{
    if (g_outputCodePageBefore != 0)
        ::SetConsoleOutputCP(g_outputCodePageBefore);
}

// Ctrl+C, Ctrl+Break, the window closed: set the code page back, then let
// the default handler end the process (ExitProcess runs no atexit function).
BOOL WINAPI restoreOnConsoleEvent(DWORD)
{
    restoreOutputCodePage();
    return FALSE;
}

}  // namespace

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
    const UINT before = ::GetConsoleOutputCP();  // 0: no console
    if (before == 0 || before == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8))
        return;
    g_outputCodePageBefore = before;
    std::atexit(restoreOutputCodePage);
    ::SetConsoleCtrlHandler(restoreOnConsoleEvent, TRUE);
}

void writeText(std::FILE* stream, const std::string& text)
{
    const int descriptor = ::_fileno(stream);  // negative when the stream has none
    const HANDLE handle = descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::fflush(stream);  // what others wrote to it first
    const std::wstring wide = wideFromUtf8(text);
    // In pieces, as a console takes only so much at once; a surrogate pair
    // stays in one piece.
    const std::size_t kPiece = 8192;
    for (std::size_t at = 0; at < wide.size();) {
        std::size_t count = std::min(kPiece, wide.size() - at);
        if (at + count < wide.size() && wide[at + count - 1] >= 0xD800 && wide[at + count - 1] <= 0xDBFF)
            --count;
        DWORD written = 0;
        if (!::WriteConsoleW(handle, wide.data() + at, static_cast<DWORD>(count), &written, nullptr) || written == 0)
            return;
        at += written;
    }
}

std::FILE* openUtf8File(const std::string& path, const char* mode)
{
    return ::_wfopen(wideFromUtf8(path).c_str(), wideFromUtf8(mode).c_str());
}
