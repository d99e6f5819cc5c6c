#include "model/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>

using namespace tesser::model;

TEST(Windows1252ToUtf8, ConvertsTheUpperHalf) {
    EXPECT_EQ(Windows1252ToUtf8("Caf\xE9 \x80 \x93x\x94 \xA0\xFF"),
              "Caf\u00E9 \u20AC \u201Cx\u201D \u00A0\u00FF");
    EXPECT_EQ(Windows1252ToUtf8("plain ASCII\r\n"), "plain ASCII\r\n");
    EXPECT_EQ(Windows1252ToUtf8(""), "");
    EXPECT_EQ(Windows1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Windows1252ToUtf8, UndefinedBytesBecomeC1Controls) {
    EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(Windows1252ToUtf8("a\x81"
                                "b"),
              "a\u0081b");
}

TEST(Utf8ToWindows1252, ConvertsCharactersWithAWindows1252Form) {
    EXPECT_EQ(Utf8ToWindows1252("Caf\u00E9 \u20AC \u2013 \u0152"), "Caf\xE9 \x80 \x96 \x8C");
    EXPECT_EQ(Utf8ToWindows1252(""), "");
}

TEST(Utf8ToWindows1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    const std::string big = all + all + all + all + all; // crosses the converter's buffer size
    EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(big)), big);
}

TEST(Utf8ToWindows1252, RefusesACharacterWithoutAForm) {
    try {
        Utf8ToWindows1252("ab\u4E2D\u6587");
        FAIL() << "no error";
    } catch (const TextEncodingError& error) {
        EXPECT_STREQ(error.what(),
                     "The character U+4E2D \u201C\u4E2D\u201D has no Windows-1252 form");
        EXPECT_EQ(error.CodePoint(), U'\u4E2D');
        EXPECT_EQ(error.Offset(), 2u);
    }
    EXPECT_THROW(Utf8ToWindows1252("\U0001F600"), TextEncodingError);
    EXPECT_THROW(Utf8ToWindows1252("\u0100"), TextEncodingError);
    EXPECT_THROW(Utf8ToWindows1252("\u0080"), TextEncodingError); // € is U+20AC, not U+0080
}

TEST(Utf8ToWindows1252, RefusesInvalidUtf8) {
    for (const std::string& bad : {std::string("a\xE9"), std::string("\xC3"),
                                   std::string("\xC0\xAF"), std::string("\xED\xA0\x80"),
                                   std::string("\xF8\x88\x80\x80\x80"), std::string("x\x80y")}) {
        try {
            Utf8ToWindows1252(bad);
            ADD_FAILURE() << "accepted invalid UTF-8";
        } catch (const TextEncodingError& error) {
            EXPECT_EQ(error.CodePoint(), 0u);
            EXPECT_NE(std::string(error.what()).find("not valid UTF-8"), std::string::npos);
        }
    }
}
