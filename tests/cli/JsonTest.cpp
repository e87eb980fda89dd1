// Tests of the JSON writer: quoting and escapes, invalid UTF-8, commas at every level, decimals.

#include "cli/Json.h"

#include <gtest/gtest.h>

using namespace quillbank::cli;

TEST(Json, StringsAreQuotedWithEscapesAndStayValidUtf8)
{
    EXPECT_EQ(JsonQuoted("plain"), "\"plain\"");
    EXPECT_EQ(JsonQuoted("a \"b\" \\c"), "\"a \\\"b\\\" \\\\c\"");
    EXPECT_EQ(JsonQuoted("tab\tline\ncr\r"), "\"tab\\tline\\ncr\\r\"");
    EXPECT_EQ(JsonQuoted(std::string("nul\0bell\x07", 9)), "\"nul\\u0000bell\\u0007\"");
    EXPECT_EQ(JsonQuoted("Účet 9 – 𝄞"), "\"Účet 9 – 𝄞\"");
    // A file name need not be UTF-8: each stray byte becomes U+FFFD.
    EXPECT_EQ(JsonQuoted("a\xff"
                         "b\xc3"),
              "\"a\\ufffdb\\ufffd\"");
    EXPECT_EQ(JsonQuoted("\xc0\xaf"), "\"\\ufffd\\ufffd\"");            // overlong "/"
    EXPECT_EQ(JsonQuoted("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\""); // a surrogate
}

TEST(Json, ValuesAreSeparatedByCommasAtEveryLevel)
{
    TJsonWriter json;
    json.BeginObject()
        .Key("a")
        .Number(-1)
        .Key("b")
        .BeginArray()
        .Bool(true)
        .Null()
        .BeginObject()
        .EndObject()
        .Strings({"x", "y"})
        .EndArray()
        .Key("c")
        .Strings({})
        .Key("d")
        .String("e")
        .EndObject();
    EXPECT_EQ(json.Text(), "{\"a\":-1,\"b\":[true,null,{},[\"x\",\"y\"]],\"c\":[],\"d\":\"e\"}");
}

TEST(Json, DecimalsHaveThreePlacesAndAPointWhateverTheLocale)
{
    TJsonWriter json;
    json.BeginArray().Decimal(0).Decimal(1.5).Decimal(12.3456).Decimal(-0.25).Decimal(-0.0001).Decimal(1.0 /
                                                                                                       0.0);
    EXPECT_EQ(json.EndArray().Text(), "[0.000,1.500,12.346,-0.250,0.000,0.000]");
}
