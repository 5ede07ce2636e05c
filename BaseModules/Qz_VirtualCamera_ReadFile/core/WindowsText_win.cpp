#include "WindowsText.h"

#include <windows.h>

namespace {

std::wstring wideFrom(UINT codePage, DWORD flags, const std::string& text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, flags, text.data(), size, &wide[0], length);
    return wide;
}

}  // namespace

std::wstring wideFromUtf8(const std::string& text)
{
    return wideFrom(CP_UTF8, 0, text);
}

std::string utf8FromWide(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

std::string utf8FromAnsi(const std::string& text)
{
    return utf8FromWide(wideFrom(CP_ACP, 0, text));
}

bool isUtf8(const std::string& text)
{
    return text.empty() || !wideFrom(CP_UTF8, MB_ERR_INVALID_CHARS, text).empty();
}

std::string lastErrorText()
{
    const DWORD code = GetLastError();
    wchar_t text[256] = {};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                        sizeof text / sizeof text[0], nullptr))
        return "system error " + std::to_string(code);
    std::string message = utf8FromWide(text);
    message.erase(message.find_last_not_of(" \r\n.") + 1);
    return message;
}
