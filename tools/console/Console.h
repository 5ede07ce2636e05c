#pragma once
// What the tools ask of the console and the C library, one file per platform
// (Console_unix.cpp / Console_win.cpp). Text inside the tools is UTF-8.

#include <cstdio>
#include <string>
#include <vector>

// True when standard error is an interactive terminal, not a file or pipe.
bool stderrIsTerminal();

// The command line's arguments as UTF-8. Windows: read from the wide command
// line, so a name outside the ANSI code page arrives whole; elsewhere argv.
std::vector<std::string> utf8Arguments(int argc, char* argv[]);

// Makes the console show the UTF-8 the tools print (Windows: its output code
// page set to UTF-8; output to a file or pipe is UTF-8 bytes on every platform).
void useUtf8Console();

// std::fopen with a UTF-8 path (Windows: _wfopen, as fopen takes the ANSI code page).
std::FILE* openUtf8File(const std::string& path, const char* mode);
