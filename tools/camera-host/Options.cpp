#include "Options.h"

#include "ReadOrder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

// "  camera1   <its read order>" for each camera mode.
std::string cameraModeLines()
{
    std::string lines;
    for (const CameraModeRow& row : kCameraModes) {
        std::string name = row.cameraName;
        name.resize(std::max<std::size_t>(name.size() + 1, 10), ' ');
        lines += "  " + name + readOrderText(row.mode) + "\n";
    }
    return lines;
}

}  // namespace

const std::string kUsage =
    "usage:\n"
    "  camera-host replay --param TEXT [--module FILE] [--frames N | --cycles N] [--fps N]\n"
    "                     [--save DIR] [--sheet FILE.png] [--json FILE] [--quiet] [--verbose]\n"
    "  camera-host inspect --param TEXT [--json FILE]\n"
    "  camera-host replay --help | inspect --help   what each command does and its options\n"
    "  camera-host --version                        versions of camera-host, Qt and OpenCV\n"
    "\n"
    "  --param TEXT  the module's parameter string \"camera,second,third,root\",\n"
    "                for example \"camera1,a,1,/data/recording\"; camera is one of\n"
    "                " + cameraNamesText() + "\n"
    "\n"
    "exit status: 0 done, 1 failed (or inspect found something to warn about), 2 bad command line\n";

const char kReplayHelp[] =
    "usage: camera-host replay --param TEXT [--module FILE] [--frames N | --cycles N] [--fps N]\n"
    "                          [--save DIR] [--sheet FILE.png] [--json FILE] [--quiet] [--verbose]\n"
    "\n"
    "Loads the camera module as a host does, grabs frames from the recording and\n"
    "prints one line per frame (images with their size and type) and a summary.\n"
    "\n"
    "  --param TEXT     the module's parameter string, \"camera,second,third,root\"; once per\n"
    "                   camera: each camera then loads its own copy of the module file and\n"
    "                   every camera is grabbed for each frame\n"
    "  --module FILE    camera module to load (default: the one built or installed with camera-host)\n"
    "  --frames N       grab N frames\n"
    "  --cycles N       grab N full cycles of the recording (default: 1)\n"
    "  --fps N          grab at N frames per second, as a camera would (frame k due at start + k/N);\n"
    "                   frames that could not keep up are counted in the summary\n"
    "  --save DIR       write every image losslessly into DIR (PNG; TIFF for depths PNG cannot hold)\n"
    "  --sheet FILE     draw a contact sheet, one row per frame, as a PNG file\n"
    "  --json FILE      write JSON Lines: per frame its capture folder and each image's source file,\n"
    "                   size and type, then a summary (\"-\": standard output, instead of the text)\n"
    "  --quiet          no line per frame, only the summary\n"
    "  --verbose        also show the module's [INFO] log lines\n"
    "\n"
    "exit status: 0 done; 1 the module did not load or init, a grab failed, no frame held\n"
    "an image, the root holds no capture folder, or a file was not written; 2 bad command line\n";

const std::string kInspectHelp =
    "usage: camera-host inspect --param TEXT [--json FILE]\n"
    "\n"
    "Shows the recording as the module will replay it, without loading the module: the\n"
    "capture folders in replay order and, for each, the files read, in read order, with\n"
    "each image's size and type. Then warnings worth reading before a long run: a\n"
    "capture with no file for the camera, camera1 kinds missing or twice, an image unlike\n"
    "the rest of its kind, a file that will not decode, files named for the camera whose\n"
    "ending it does not read (.tif, .png, ...), an unknown camera name.\n"
    "\n"
    "What each camera name reads from a capture folder, in read order:\n" +
    cameraModeLines() +
    "\n"
    "  --param TEXT     the module's parameter string, \"camera,second,third,root\";\n"
    "                   once per camera, each inspected in turn\n"
    "  --json FILE      write the plan as JSON Lines, frame k holding each camera's capture k,\n"
    "                   as replay --json does (\"-\": standard output, instead of the text)\n"
    "\n"
    "exit status: 0 nothing to warn about; 1 warnings, a bad parameter string, or a root\n"
    "that cannot be read or holds no capture folder; 2 bad command line\n";

namespace {

bool parseCount(const std::string& name, const std::string& text, int& out, std::string& error)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < 1 || value > 100000000) {
        error = name + " needs a whole number from 1 to 100000000, not \"" + text + "\"";
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

// Frames per second: a positive number up to 1000 (fractions allowed).
bool parseRate(const std::string& name, const std::string& text, double& out, std::string& error)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !(value > 0) || value > 1000) {
        error = name + " needs a number of frames per second above 0 and up to 1000, not \"" + text + "\"";
        return false;
    }
    out = value;
    return true;
}

bool parseCommand(const std::string& word, Options& options, std::string& error)
{
    if (word == "replay")
        options.command = Options::Command::Replay;
    else if (word == "inspect")
        options.command = Options::Command::Inspect;
    else if (word == "help" || word == "--help" || word == "-h")
        options.command = Options::Command::Help;
    else {
        error = "unknown command \"" + word + "\" (expected replay or inspect)";
        return false;
    }
    return true;
}

// Takes the value of an option given as "--name VALUE" or "--name=VALUE".
bool takeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               const std::string& inlineValue, bool hasInline, std::string& value, std::string& error)
{
    if (hasInline) {
        value = inlineValue;
        return true;
    }
    if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

bool isFlag(const std::string& name)
{
    return name == "--quiet" || name == "--verbose";
}

bool takesValue(const std::string& name)
{
    return name == "--param" || name == "--module" || name == "--save" || name == "--sheet" || name == "--json" ||
           name == "--frames" || name == "--cycles" || name == "--fps";
}

bool storeValue(const std::string& name, const std::string& value, Options& options, std::string& error)
{
    if (name == "--frames")
        return parseCount(name, value, options.frames, error);
    if (name == "--cycles")
        return parseCount(name, value, options.cycles, error);
    if (name == "--fps")
        return parseRate(name, value, options.fps, error);
    if (value.empty()) {
        error = name + " needs a non-empty value";
        return false;
    }
    if (name == "--param") {
        options.params.push_back(value);
        options.param = options.params.front();
    }
    else if (name == "--module")
        options.module = value;
    else if (name == "--save")
        options.saveFolder = value;
    else if (name == "--json")
        options.jsonFile = value;
    else
        options.sheetFile = value;
    return true;
}

bool applyOption(const std::vector<std::string>& args, std::size_t& i, Options& options, std::string& error)
{
    std::string name = args[i];
    std::string inlineValue;
    const std::size_t equals = name.find('=');
    const bool hasInline = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (hasInline) {
        inlineValue = name.substr(equals + 1);
        name = name.substr(0, equals);
    }
    if (!isFlag(name) && !takesValue(name)) {
        error = "unknown option \"" + args[i] + "\"";
        return false;
    }
    if (options.command == Options::Command::Inspect && name != "--param" && name != "--json") {
        error = name + " belongs to replay, not inspect";
        return false;
    }
    if (isFlag(name)) {
        if (hasInline) {
            error = name + " takes no value";
            return false;
        }
        (name == "--quiet" ? options.quiet : options.verbose) = true;
        return true;
    }
    std::string value;
    return takeValue(args, i, name, inlineValue, hasInline, value, error) &&
           storeValue(name, value, options, error);
}

}  // namespace

bool parseOptions(int argc, const char* const argv[], Options& options, std::string& error)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        error = "no command given";
        return false;
    }
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            Options asked;
            std::string ignored;
            parseCommand(args[0], asked, ignored);
            options.command = Options::Command::Help;
            if (asked.command == Options::Command::Replay || asked.command == Options::Command::Inspect)
                options.helpFor = asked.command;
            return true;
        }
        if (arg == "--version") {
            options.command = Options::Command::Version;
            return true;
        }
    }
    if (!parseCommand(args[0], options, error))
        return false;
    if (options.command == Options::Command::Help)
        return true;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (!applyOption(args, i, options, error))
            return false;
    }
    if (options.param.empty()) {
        error = "--param is required";
        return false;
    }
    if (options.frames > 0 && options.cycles > 0) {
        error = "give --frames or --cycles, not both";
        return false;
    }
    return true;
}
