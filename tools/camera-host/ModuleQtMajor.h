#pragma once
// Two Qt majors cannot share one process: both Qt Cores load and the module
// misreads every QByteArray the host hands it. A module file names the Qt
// Core it needs (libQt5Core.so.5, Qt6Core.dll, ...), so the host can refuse
// one of the other major before loading it.

#include <string>

// The Qt major the module file at `path` links (5 or 6), 0 when it names
// neither or cannot be read.
int qtMajorOfModuleFile(const std::string& path);

// False, with `error` naming both majors, when the module at `path` is built
// against another Qt major than this program; true otherwise (a file that
// cannot be read is left for the loader to explain).
bool checkModuleQtMajor(const std::string& path, std::string& error);

// The module file a replay loads: `given` (--module), or `defaultPath` when
// none is given. False with `error` when that file, the one to be loaded, is
// built against another Qt major.
bool pickModule(const std::string& given, const std::string& defaultPath, std::string& path, std::string& error);
