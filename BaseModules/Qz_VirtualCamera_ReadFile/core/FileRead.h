#pragma once
// Reading a file's bytes with the system's own calls, once per platform
// (FileRead_unix.cpp, FileRead_win.cpp; CMake picks one). A read the system
// interrupts (a host that takes signals, a network file system) is made
// again; any other failure leaves the system's wording behind.

#include <cstddef>
#include <string>

struct ReadableFile;  // opaque

// Opens `path` for reading; null, and `error` set, when it cannot be opened.
ReadableFile* openForReading(const std::string& path, std::string& error);

// Reads up to `count` bytes into `into`, from where the last read ended;
// `got` is fewer only at the file's end. False, with `error` set, when the
// system fails to read (`got` then says what came before).
bool readBytes(ReadableFile* file, unsigned char* into, std::size_t count, std::size_t& got, std::string& error);

// Closes a file opened by openForReading; null is ignored.
void closeFile(ReadableFile* file);
