// camera-host: a command-line host for camera modules. It loads a module file
// as a host application does (create, setParam, init, then run + getImages
// per frame, destory) and shows what the module hands over; `inspect` shows
// how the module will read a recording without loading it.

#include "Inspect.h"
#include "Options.h"
#include "Replay.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int dispatch(int argc, const char* const argv[])
{
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "camera-host: %s\n\n%s", error.c_str(), kUsage);
        return 2;
    }
    switch (options.command) {
    case Options::Command::Replay:
        return runReplay(options);
    case Options::Command::Inspect:
        return runInspect(options);
    case Options::Command::Help:
    case Options::Command::None:
        break;
    }
    std::printf("%s", kUsage);
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    try {
        return dispatch(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "camera-host: unexpected failure: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "camera-host: unexpected failure\n");
    }
    return 1;
}
