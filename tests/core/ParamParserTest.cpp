#include "ParamParser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    std::string text;
    ParamError error;
    int fieldsParsed;
    std::string cameraName, secondField;
    int thirdField;
    std::string rootFolder;
    std::string messagePart;  // for errors: the text the message must name
};

using E = ParamError;

const Case kCases[] = {
    {"camera1,a,1,D:\\record", E::None, 4, "camera1", "a", 1, "D:\\record", ""},
    {"camera2,,7,D:\\x,y", E::None, 4, "camera2", "", 7, "D:\\x,y", ""},
    {"camera1,a,1,", E::None, 4, "camera1", "a", 1, "", ""},
    {" c , a ,1, r ", E::None, 4, " c ", " a ", 1, " r ", ""},
    {"c,a, 12abc,r", E::None, 4, "c", "a", 12, "r", ""},
    {"c,a,\t-5x,r", E::None, 4, "c", "a", -5, "r", ""},
    {"c,a,+0042,r,,", E::None, 4, "c", "a", 42, "r,,", ""},
    {"c,a,2147483647,r", E::None, 4, "c", "a", 2147483647, "r", ""},
    {"c,a,-2147483648,r", E::None, 4, "c", "a", -2147483647 - 1, "r", ""},
    {",a,1,D:\\r", E::LeadingComma, 0, "", "", 0, "", ",a,1,D:\\r"},
    {",", E::LeadingComma, 0, "", "", 0, "", ","},
    {"camera1", E::TooFewCommas, 0, "", "", 0, "", "camera1"},
    {"camera1,a", E::TooFewCommas, 0, "", "", 0, "", "camera1,a"},
    {"", E::TooFewCommas, 0, "", "", 0, "", "\"\""},
    {"camera1,a,1", E::NoThirdComma, 2, "camera1", "a", 0, "", "camera1,a,1"},
    {"camera1,,", E::NoThirdComma, 2, "camera1", "", 0, "", "camera1,,"},
    {"c,a,,r", E::ThirdFieldNotNumber, 2, "c", "a", 0, "", "\"\""},
    {"c,a,abc,r", E::ThirdFieldNotNumber, 2, "c", "a", 0, "", "\"abc\""},
    {"c,a,- 5,r", E::ThirdFieldNotNumber, 2, "c", "a", 0, "", "\"- 5\""},
    {"c,a,  ,r", E::ThirdFieldNotNumber, 2, "c", "a", 0, "", "\"  \""},
    {"c,a,2147483648,r", E::ThirdFieldOutOfRange, 2, "c", "a", 0, "", "\"2147483648\""},
    {"c,a,-2147483649,r", E::ThirdFieldOutOfRange, 2, "c", "a", 0, "", "\"-2147483649\""},
    {"c,a,99999999999999999999,r", E::ThirdFieldOutOfRange, 2, "c", "a", 0, "", "\"99999999999999999999\""},
};

TEST(ParseParam, SplitsFieldsAndNamesEachFailure)
{
    for (const Case& c : kCases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        const ParamParse parse = parseParam(c.text);
        EXPECT_EQ(parse.error, c.error);
        EXPECT_EQ(parse.fieldsParsed, c.fieldsParsed);
        EXPECT_EQ(parse.cameraName, c.cameraName);
        EXPECT_EQ(parse.secondField, c.secondField);
        EXPECT_EQ(parse.thirdField, c.thirdField);
        EXPECT_EQ(parse.rootFolder, c.rootFolder);
        if (c.error == E::None)
            EXPECT_EQ(parse.message, "");
        else
            EXPECT_NE(parse.message.find(c.messagePart), std::string::npos) << parse.message;
        if (c.error == E::ThirdFieldNotNumber)
            EXPECT_NE(parse.message.find("invalid stoi argument"), std::string::npos) << parse.message;
        if (c.error == E::ThirdFieldOutOfRange)
            EXPECT_NE(parse.message.find("stoi argument out of range"), std::string::npos) << parse.message;
    }
}

}  // namespace
