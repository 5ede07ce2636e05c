// Arbitrary bytes as the parameter string, through parseParam (what init
// uses). Besides surviving, the result must agree with the documented rules:
// fields cut at the first three commas, the third field read as std::stoi
// reads it, the fields taken so far matching the error.

#include "ParamParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "parseParam broke a rule: %s\n", what);
        std::abort();
    }
}

// The third field as std::stoi sees it.
ParamError stoiVerdict(const std::string& number, int& value)
{
    try {
        value = std::stoi(number);
        return ParamError::None;
    } catch (const std::invalid_argument&) {
        return ParamError::ThirdFieldNotNumber;
    } catch (const std::out_of_range&) {
        return ParamError::ThirdFieldOutOfRange;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ParamParse parse = parseParam(text);

    check(parse.fieldsParsed == 0 || parse.fieldsParsed == 2 || parse.fieldsParsed == 4, "field count");
    check((parse.error == ParamError::None) == (parse.fieldsParsed == 4), "fields taken vs error");
    check(parse.error == ParamError::None || !parse.message.empty(), "error without a message");

    const std::size_t first = text.find(',');
    if (first == std::string::npos || first == 0 || text.find(',', first + 1) == std::string::npos) {
        check(parse.fieldsParsed == 0, "fields taken without two commas");
        return 0;
    }
    const std::size_t second = text.find(',', first + 1);
    check(parse.fieldsParsed >= 2, "two commas, no fields");
    check(parse.cameraName == text.substr(0, first), "camera name");
    check(!parse.cameraName.empty(), "empty camera name");
    check(parse.secondField == text.substr(first + 1, second - first - 1), "second field");

    const std::size_t third = text.find(',', second + 1);
    if (third == std::string::npos) {
        check(parse.error == ParamError::NoThirdComma, "missing third comma not reported");
        return 0;
    }
    int expected = 0;
    const ParamError verdict = stoiVerdict(text.substr(second + 1, third - second - 1), expected);
    check(parse.error == verdict, "third field judged unlike std::stoi");
    if (verdict == ParamError::None) {
        check(parse.thirdField == expected, "third field value");
        check(parse.rootFolder == text.substr(third + 1), "root folder");
    }
    return 0;
}
