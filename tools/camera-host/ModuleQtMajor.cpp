#include "ModuleQtMajor.h"

#include <QtGlobal>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

int qtMajorOfModuleFile(const std::string& path)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        return 0;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto names = [&bytes](const std::string& text) {
        return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
    };
    // The dependency's file name: libQt5Core.so.5 on Linux, Qt5Core.dll on Windows.
    const bool qt5 = names("Qt5Core");
    const bool qt6 = names("Qt6Core");
    if (qt5 == qt6)
        return 0;
    return qt5 ? 5 : 6;
}

bool checkModuleQtMajor(const std::string& path, std::string& error)
{
    const int moduleMajor = qtMajorOfModuleFile(path);
    if (moduleMajor == 0 || moduleMajor == QT_VERSION_MAJOR)
        return true;
    error = "the module " + path + " is built against Qt " + std::to_string(moduleMajor) +
            " and this camera-host against Qt " + std::to_string(QT_VERSION_MAJOR) +
            ": two Qt majors cannot share one process; use the camera-host built with Qt " +
            std::to_string(moduleMajor);
    return false;
}

bool pickModule(const std::string& given, const std::string& defaultPath, std::string& path, std::string& error)
{
    path = given.empty() ? defaultPath : given;
    return checkModuleQtMajor(path, error);
}
