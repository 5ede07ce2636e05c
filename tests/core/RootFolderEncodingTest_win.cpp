// A host hands the root folder as UTF-8 (QString::toUtf8) or in the ANSI code
// page (toLocal8Bit); both must name the same folder. Run under a Chinese
// (936) and a Western (1252) code page by scripts/test-windows.

#include "ParamParser.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// `utf8` in the ANSI code page; false when the code page cannot hold it.
bool toAnsi(const std::string& utf8, std::string& ansi)
{
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], wideLength);
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr, 0, nullptr, &lossy);
    ansi.assign(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, &ansi[0], length, nullptr, &lossy);
    return !lossy;
}

// `bytes` read in the ANSI code page, as UTF-8.
std::string fromAnsi(const std::string& bytes)
{
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], static_cast<int>(wide.size()))));
    std::string utf8(wide.size() * 4, '\0');
    utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0],
                                                        static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
}

// The bytes C3 A9 are "é" in UTF-8 and something else in every ANSI code
// page ("Ã©" in 1252): with both folders there, UTF-8 wins, with a warning
// naming both; with one of them only, no warning.
TEST(RootFolderEncoding, BytesNamingTwoFoldersTakeUtf8AndWarn)
{
    const std::string bytes = "\xC3\xA9";
    const std::string ansiName = fromAnsi(bytes);
    ASSERT_FALSE(ansiName.empty());
    ASSERT_NE(ansiName, bytes);
    for (const bool both : {true, false}) {
        SCOPED_TRACE(both);
        TempFolder tmp;
        tmp.make({bytes + "/"});
        if (both)
            tmp.make({ansiName + "/"});
        const ParamParse parse = parseParam("cam,0,0," + tmp.at(bytes));
        EXPECT_EQ(parse.rootFolder, tmp.at(bytes));
        if (both) {
            EXPECT_NE(parse.warning.find(tmp.at(bytes)), std::string::npos) << parse.warning;
            EXPECT_NE(parse.warning.find(tmp.at(ansiName)), std::string::npos) << parse.warning;
        } else {
            EXPECT_EQ(parse.warning, "");
        }
    }
}

TEST(RootFolderEncoding, Utf8AndAnsiBytesNameTheSameFolder)
{
    TempFolder tmp;
    int ansiChecked = 0;
    for (const std::string name : {u8"图像", u8"Éé", u8"😀", u8"plain"}) {
        SCOPED_TRACE(name);
        tmp.make({name + "/"});
        const std::string root = tmp.at(name);
        EXPECT_EQ(parseParam("cam,0,0," + root).rootFolder, root);
        std::string ansi;
        if (!toAnsi(root, ansi))
            continue;  // this code page has no such characters
        EXPECT_EQ(parseParam("cam,0,0," + ansi).rootFolder, root);
        ++ansiChecked;
    }
    EXPECT_GE(ansiChecked, 2) << "code page " << GetACP();
}

}  // namespace
