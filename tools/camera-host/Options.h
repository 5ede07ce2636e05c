#pragma once
// The command line of camera-host.

#include <string>
#include <vector>

struct Options {
    enum class Command { None, Replay, Inspect, Help, Version };
    Command command = Command::None;
    Command helpFor = Command::None;  // with Help: the command asked about, if any
    std::string module;  // empty: the module built beside the host
    std::string param;   // the module's parameter string (the first camera's)
    std::vector<std::string> params;  // one per camera, in the order given
    int frames = 0;      // 0: not given
    int cycles = 0;      // 0: not given; frames and cycles exclude each other
    double fps = 0;      // 0: grab as fast as the module goes
    std::string saveFolder;
    std::string sheetFile;
    std::string jsonFile;  // JSON Lines; "-": standard output, instead of the text
    bool quiet = false;    // no per-frame lines
    bool verbose = false;  // also the module's [INFO] lines
};

// Fills `options` from argv; false with `error` naming the offending text.
bool parseOptions(int argc, const char* const argv[], Options& options, std::string& error);

extern const std::string kUsage;
extern const char kReplayHelp[];
extern const std::string kInspectHelp;
