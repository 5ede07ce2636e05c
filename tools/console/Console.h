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

// Makes the console show UTF-8 that others (OpenCV, the C library) write as
// bytes. Windows: sets the console's output code page to UTF-8 and sets back
// the one it had when the program ends (returning from main, exit, or closed
// by Ctrl+C or its window); elsewhere nothing.
void useUtf8Console();

// Writes UTF-8 `text` to `stream`. Windows: to a console as UTF-16 through
// WriteConsoleW, which shows every character whatever the code pages; to a
// file or pipe (and on every other system) the UTF-8 bytes.
void writeText(std::FILE* stream, const std::string& text);

// printf into writeText.
void printText(std::FILE* stream, const char* format, ...);

// std::fopen with a UTF-8 path (Windows: _wfopen, as fopen takes the ANSI code page).
std::FILE* openUtf8File(const std::string& path, const char* mode);
