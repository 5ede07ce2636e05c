#pragma once
// Where the running program's file is (ExecutablePath_unix.cpp or
// ExecutablePath_win.cpp, picked by CMake); a host finds modules from there.

#include <string>

// Full path of the running executable; empty when it cannot be told.
std::string executablePath();
