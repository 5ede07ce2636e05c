// camera-host: a command-line host for camera modules. It loads a module file
// as a host application does (create, setParam, init, then run + getImages
// per frame, destory) and shows what the module hands over; `inspect` shows
// how the module will read a recording without loading it.

#include "Console.h"
#include "Inspect.h"
#include "Options.h"
#include "ProjectVersion.h"
#include "Replay.h"

#include <QtGlobal>

#include <opencv2/core/utility.hpp>
#include <opencv2/core/version.hpp>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

void printVersion()
{
    printText(stdout, "camera-host %s\n", PROJECT_VERSION_TEXT);
    printText(stdout, "Qt          built with %s, running with %s\n", QT_VERSION_STR, qVersion());
    printText(stdout, "OpenCV      built with %s, running with %s\n", CV_VERSION, cv::getVersionString().c_str());
}

const char* helpText(const Options& options)
{
    switch (options.helpFor) {
    case Options::Command::Replay:
        return kReplayHelp;
    case Options::Command::Inspect:
        return kInspectHelp.c_str();
    default:
        return kUsage.c_str();
    }
}

int dispatch(int argc, const char* const argv[])
{
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        printText(stderr, "camera-host: %s\n\n%s", error.c_str(), kUsage.c_str());
        return 2;
    }
    switch (options.command) {
    case Options::Command::Replay:
        return runReplay(options);
    case Options::Command::Inspect:
        return runInspect(options);
    case Options::Command::Version:
        printVersion();
        return 0;
    case Options::Command::Help:
    case Options::Command::None:
        break;
    }
    printText(stdout, "%s", helpText(options));
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    try {
        useUtf8Console();
        const std::vector<std::string> arguments = utf8Arguments(argc, argv);
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments)
            pointers.push_back(argument.c_str());
        return dispatch(static_cast<int>(pointers.size()), pointers.data());
    } catch (const std::exception& e) {
        printText(stderr, "camera-host: unexpected failure: %s\n", e.what());
    } catch (...) {
        printText(stderr, "camera-host: unexpected failure\n");
    }
    return 1;
}
