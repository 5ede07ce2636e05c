#pragma once
// Plain file writing and reading for tests (Qt-free, OpenCV-free).

#include <filesystem>
#include <string>

// Writes `bytes` at root/relative ("/"-separated), making folders on the way.
void writeBytes(const std::filesystem::path& root, const std::string& relative, const std::string& bytes);
// The whole content of the file at `path`; empty when it cannot be read.
std::string readBytes(const std::filesystem::path& path);
