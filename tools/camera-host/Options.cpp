#include "Options.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

const char kUsage[] =
    "usage:\n"
    "  camera-host replay --param TEXT [--module FILE] [--frames N | --cycles N]\n"
    "                     [--save DIR] [--sheet FILE.png] [--quiet] [--verbose]\n"
    "  camera-host inspect --param TEXT\n"
    "\n"
    "  --param TEXT     the module's parameter string, \"camera,second,third,root\"\n"
    "  --module FILE    camera module to load (default: the module built beside camera-host)\n"
    "  --frames N       grab N frames\n"
    "  --cycles N       grab N full cycles of the recording (default: 1)\n"
    "  --save DIR       write every image losslessly into DIR (PNG; TIFF for depths PNG cannot hold)\n"
    "  --sheet FILE     draw a contact sheet, one row per frame, as a PNG file\n"
    "  --quiet          no line per frame, only the summary\n"
    "  --verbose        also show the module's [INFO] log lines\n"
    "\n"
    "exit status: 0 done, 1 failed (or inspect found something to warn about), 2 bad command line\n";

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
    return name == "--param" || name == "--module" || name == "--save" || name == "--sheet" ||
           name == "--frames" || name == "--cycles";
}

bool storeValue(const std::string& name, const std::string& value, Options& options, std::string& error)
{
    if (name == "--frames")
        return parseCount(name, value, options.frames, error);
    if (name == "--cycles")
        return parseCount(name, value, options.cycles, error);
    if (value.empty()) {
        error = name + " needs a non-empty value";
        return false;
    }
    if (name == "--param")
        options.param = value;
    else if (name == "--module")
        options.module = value;
    else if (name == "--save")
        options.saveFolder = value;
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
    if (options.command == Options::Command::Inspect && name != "--param") {
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
            options.command = Options::Command::Help;
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
