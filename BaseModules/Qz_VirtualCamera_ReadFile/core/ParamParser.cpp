#include "ParamParser.h"
#include "PlatformPaths.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace {

// std::stoi's rules, without its exceptions and with texts that do not
// depend on the standard library in use.
ParamError toInt(const std::string& text, int& value)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin)
        return ParamError::ThirdFieldNotNumber;
    if (errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return ParamError::ThirdFieldOutOfRange;
    value = static_cast<int>(parsed);
    return ParamError::None;
}

ParamParse fail(ParamParse parse, ParamError error, const std::string& message)
{
    parse.error = error;
    parse.message = message;
    return parse;
}

}  // namespace

ParamParse parseParam(const std::string& text)
{
    ParamParse parse;
    const std::size_t first = text.find(',');
    const std::size_t last = text.rfind(',');
    if (first == 0)
        return fail(parse, ParamError::LeadingComma,
                    "parameter string starts with a comma, camera name missing: \"" + text + "\"");
    if (first == last)
        return fail(parse, ParamError::TooFewCommas,
                    "parameter string needs four comma-separated fields: \"" + text + "\"");

    const std::size_t second = text.find(',', first + 1);
    parse.cameraName = text.substr(0, first);
    parse.secondField = text.substr(first + 1, second - first - 1);
    parse.fieldsParsed = 2;

    const std::size_t third = text.find(',', second + 1);
    if (third == std::string::npos)
        return fail(parse, ParamError::NoThirdComma,
                    "parameter string has no third comma: \"" + text + "\"");

    const std::string number = text.substr(second + 1, third - second - 1);
    const ParamError numberError = toInt(number, parse.thirdField);
    if (numberError == ParamError::ThirdFieldNotNumber)
        return fail(parse, numberError, "invalid stoi argument: third field \"" + number + "\"");
    if (numberError == ParamError::ThirdFieldOutOfRange)
        return fail(parse, numberError, "stoi argument out of range: third field \"" + number + "\"");

    parse.rootFolder = rootFolderAsUtf8(text.substr(third + 1), parse.warning);
    parse.fieldsParsed = 4;
    return parse;
}
