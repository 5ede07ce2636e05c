#pragma once
// The module's parameter string: "camera,second,third,root".
//   field 1  up to the first comma         camera name, never empty
//   field 2  up to the second comma        free text, may be empty
//   field 3  up to the third comma         decimal int, std::stoi rules:
//            leading blanks skipped, optional sign, digits, rest ignored
//   field 4  everything after the third    root folder, may hold commas
// No field is trimmed.

#include <string>

enum class ParamError {
    None,
    LeadingComma,        // first character is a comma: nothing parsed
    TooFewCommas,        // fewer than two commas: nothing parsed
    NoThirdComma,        // fields 1 and 2 parsed, then no third comma
    ThirdFieldNotNumber, // fields 1 and 2 parsed; "invalid stoi argument"
    ThirdFieldOutOfRange // fields 1 and 2 parsed; "stoi argument out of range"
};

struct ParamParse {
    ParamError error = ParamError::None;
    // Fields taken so far: 0 (nothing), 2 (camera name and second field) or
    // 4 (all). Callers store exactly this many, so a partly bad string
    // leaves the same state on every platform.
    int fieldsParsed = 0;
    std::string cameraName;
    std::string secondField;
    int thirdField = 0;
    std::string rootFolder;
    // A doubt about the root folder worth one warning line; empty when none.
    std::string warning;
    // For errors: one line naming the cause and the text concerned.
    std::string message;
};

ParamParse parseParam(const std::string& text);
