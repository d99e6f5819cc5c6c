// Field tokens: page numbers with offsets, dates and times in the process's locale and their
// conversion to Windows-1252, and how much of the text a token consumes.
#include "FakeSurface.h"

#include "stamp/TextTokens.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

namespace tesser::stamp {
namespace {

using test::FakeFields;

// 2021-12-25 13:45:30 UTC, a Saturday.
constexpr std::time_t kChristmas = 1640439930;

struct Expanded {
    std::string text;
    std::size_t pos = 0;
    bool ok = true;
};

// Expands the token at the start of text (which follows the "<").
Expanded Expand(std::string_view text, FakeFields& fields, std::time_t runTime = kChristmas) {
    Expanded e;
    e.text = ExpandToken(text, e.pos, fields, runTime, e.ok);
    return e;
}

std::string ExpandOnPage(std::string_view token, std::int64_t page, std::int64_t count = 5) {
    FakeFields fields;
    fields.pageNumber = page;
    fields.pageCount = count;
    return Expand(token, fields).text;
}

// Runs with a fixed time zone and LC_TIME, restoring both afterwards.
class TimeFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        hadTz_ = tz != nullptr;
        savedTz_ = hadTz_ ? tz : "";
        setenv("TZ", "EST5", 1); // five hours behind UTC, no daylight saving
        tzset();
        savedTime_ = std::setlocale(LC_TIME, nullptr);
        std::setlocale(LC_TIME, "C");
    }
    void TearDown() override {
        if (hadTz_) {
            setenv("TZ", savedTz_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        std::setlocale(LC_TIME, savedTime_.c_str());
    }

private:
    bool hadTz_ = false;
    std::string savedTz_;
    std::string savedTime_;
};

TEST(PageNumberToken, AddsAWholeDecimalOffset) {
    EXPECT_EQ(ExpandOnPage("PageNumber>", 1), "1");
    EXPECT_EQ(ExpandOnPage("PageNumber:10>", 1), "11");
    EXPECT_EQ(ExpandOnPage("PageNumber:-1>", 1), "0");
    EXPECT_EQ(ExpandOnPage("PageNumber:-5>", 1), "-4");
    EXPECT_EQ(ExpandOnPage("PageNumber: +3>", 2), "5");
    EXPECT_EQ(ExpandOnPage("PageCount:+2>", 1, 5), "7");
}

TEST(PageNumberToken, IgnoresAnOffsetThatIsNotWhollyANumber) {
    EXPECT_EQ(ExpandOnPage("PageNumber:x>", 1), "1");
    EXPECT_EQ(ExpandOnPage("PageNumber:3 >", 1), "1");
    EXPECT_EQ(ExpandOnPage("PageNumber:->", 1), "1");
    EXPECT_EQ(ExpandOnPage("PageNumber: >", 1), "1");
    EXPECT_EQ(ExpandOnPage("PageNumber:1.5>", 1), "1");
}

TEST(PageNumberToken, HugeOffsetSaturatesInsteadOfWrapping) {
    EXPECT_EQ(ExpandOnPage("PageNumber:99999999999999999999999>", 3), "9223372036854775807");
}

TEST(PageNumberToken, FailureIsReportedOnceAndNotAskedAgain) {
    FakeFields fields;
    fields.failPageCount = true;
    Expanded e = Expand("PageCount>", fields);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(fields.alerts, std::vector<std::string>{"Failed to get number of pages"});

    bool ok = false; // an earlier failure on this page
    std::size_t pos = 0;
    ExpandToken("PageNumber>", pos, fields, kChristmas, ok);
    EXPECT_EQ(fields.pageNumberCalls, 0);
    EXPECT_FALSE(ok);
}

TEST(TokenSyntax, NamesAreCaseSensitiveAndUnknownOnesVanish) {
    FakeFields fields;
    Expanded e = Expand("Foo:bar>rest", fields);
    EXPECT_EQ(e.text, "");
    EXPECT_EQ(e.pos, 8u);
    e = Expand("pagenumber>", fields);
    EXPECT_EQ(e.text, "");
    EXPECT_EQ(fields.pageNumberCalls, 0);
    EXPECT_TRUE(e.ok);
}

TEST(TokenSyntax, LineBreakEndsTheTokenAndIsConsumed) {
    FakeFields fields;
    const std::string text = "Page\nNext";
    Expanded e = Expand(text, fields);
    EXPECT_EQ(e.text, "");
    EXPECT_EQ(text.substr(e.pos), "Next");

    const std::string withFormat = "PageNumber:1\rB";
    e = Expand(withFormat, fields);
    EXPECT_EQ(e.text, "2");
    EXPECT_EQ(withFormat.substr(e.pos), "B");
}

TEST(TokenSyntax, ReadLineContinuesAfterATokenCutByALineFeed) {
    FakeFields fields;
    const std::string text = "<Page\nNext\nLast";
    std::size_t pos = 0;
    bool ok = true;
    EXPECT_EQ(ReadLine(text, pos, fields, kChristmas, ok), "Next");
    EXPECT_EQ(ReadLine(text, pos, fields, kChristmas, ok), "Last");
    EXPECT_EQ(pos, text.size());
}

TEST_F(TimeFieldTest, DefaultsAreTheLocaleDateAndTime) {
    FakeFields fields;
    EXPECT_EQ(Expand("Date>", fields).text, "12/25/21");
    EXPECT_EQ(Expand("Time>", fields).text, "08:45:30");
    EXPECT_EQ(Expand("DateUTC>", fields).text, "12/25/21");
    EXPECT_EQ(Expand("TimeUTC>", fields).text, "13:45:30");
    EXPECT_TRUE(fields.alerts.empty());
}

TEST_F(TimeFieldTest, SecondColonBelongsToTheFormat) {
    FakeFields fields;
    EXPECT_EQ(Expand("TimeUTC:%H:%M>", fields).text, "13:45");
    EXPECT_EQ(Expand("Time:%H:%M>", fields).text, "08:45");
    EXPECT_EQ(Expand("Date:%d %B %Y>", fields).text, "25 December 2021");
}

TEST_F(TimeFieldTest, BackslashPutsAClosingBracketIntoTheFormat) {
    FakeFields fields;
    const std::string text = "Date:%d\\>%m>tail";
    Expanded e = Expand(text, fields);
    EXPECT_EQ(e.text, "25>12");
    EXPECT_EQ(text.substr(e.pos), "tail");
}

TEST_F(TimeFieldTest, UnclosedTokenAtTheEndStillExpands) {
    FakeFields fields;
    const std::string text = "Date:%Y";
    Expanded e = Expand(text, fields);
    EXPECT_EQ(e.text, "2021");
    EXPECT_EQ(e.pos, text.size());

    const std::string trailing = "Date:%Y\\";
    EXPECT_EQ(Expand(trailing, fields).text, "2021\\");
}

TEST_F(TimeFieldTest, ResultOfAThousandBytesIsTooLong) {
    FakeFields fields;
    std::string format = "Date:";
    for (int i = 0; i < 250; ++i) {
        format += "%Y"; // 1000 characters
    }
    Expanded e = Expand(format + ">", fields);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.text, "");
    EXPECT_EQ(fields.alerts, std::vector<std::string>{"Time value too long"});

    FakeFields fits;
    e = Expand(format.substr(0, format.size() - 2) + "abc>", fits); // 996 + 3 = 999 characters
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(e.text.size(), 999u);
}

TEST_F(TimeFieldTest, EmptyResultIsReportedAsTooLong) {
    if (std::setlocale(LC_TIME, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    FakeFields fields;
    Expanded e = Expand("Time:%p>", fields); // German has no AM/PM designator
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(fields.alerts, std::vector<std::string>{"Time value too long"});
}

TEST_F(TimeFieldTest, RunTimeBeyondUtcBreakdownIsReported) {
    FakeFields fields;
    Expanded e = Expand("DateUTC>", fields, std::numeric_limits<std::time_t>::max());
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.text, "");
    EXPECT_EQ(fields.alerts,
              std::vector<std::string>{"Coordinated Universal Time is not available"});
}

// Locales built from the system's locale sources into a private folder, so the tests do not
// depend on which locales the machine has installed.
class LocaleTimeFieldTest : public TimeFieldTest {
protected:
    static void SetUpTestSuite() {
        dir_ = new tesser::test::TempDir;
        for (const char* name : {"fr_FR", "ru_RU"}) {
            const auto target = (*dir_ / (std::string(name) + ".UTF-8")).string();
            tesser::test::Run("localedef -i " + std::string(name) + " -f UTF-8 " +
                              tesser::test::Quote(target) + " 2>/dev/null");
        }
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        TimeFieldTest::SetUp();
        setenv("LOCPATH", dir_->path().c_str(), 1);
    }
    void TearDown() override {
        TimeFieldTest::TearDown();
        unsetenv("LOCPATH");
    }
    static bool Use(const char* locale) { return std::setlocale(LC_TIME, locale) != nullptr; }

    static tesser::test::TempDir* dir_;
};
tesser::test::TempDir* LocaleTimeFieldTest::dir_ = nullptr;

TEST_F(LocaleTimeFieldTest, FrenchMonthIsWrittenInWindows1252) {
    if (!Use("fr_FR.UTF-8")) {
        GTEST_SKIP() << "cannot build fr_FR.UTF-8 with localedef";
    }
    FakeFields fields;
    Expanded e = Expand("Date:%d %B %Y>", fields);
    EXPECT_TRUE(e.ok);
    EXPECT_EQ(e.text, "25 d\xE9"
                      "cembre 2021");
    EXPECT_TRUE(fields.alerts.empty());
}

TEST_F(LocaleTimeFieldTest, MonthWithoutWindows1252FormIsRefusedWithAMessage) {
    if (!Use("ru_RU.UTF-8")) {
        GTEST_SKIP() << "cannot build ru_RU.UTF-8 with localedef";
    }
    FakeFields fields;
    Expanded e = Expand("Date:%B>", fields);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.text, "");
    ASSERT_EQ(fields.alerts.size(), 1u);
    EXPECT_EQ(fields.alerts[0].rfind("The Date field cannot be written into the page: ", 0), 0u)
        << fields.alerts[0];
    // An alert is Windows-1252 text: it names the character instead of holding its UTF-8 bytes,
    // which would show garbled.
    EXPECT_NE(fields.alerts[0].find("has no Windows-1252 form"), std::string::npos);
    for (const char c : fields.alerts[0]) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << fields.alerts[0];
    }
}

TEST(ConvertToWindows1252, ConvertsFromTheNamedCharacterSet) {
    std::string out;
    EXPECT_TRUE(ConvertToWindows1252("d\xC3\xA9"
                                     "cembre",
                                     "UTF-8", out));
    EXPECT_EQ(out, "d\xE9"
                   "cembre");
    EXPECT_TRUE(ConvertToWindows1252("M\xE4rz", "ISO-8859-1", out));
    EXPECT_EQ(out, "M\xE4rz");
    EXPECT_TRUE(ConvertToWindows1252("\xE2\x82\xAC", "UTF-8", out));
    EXPECT_EQ(out, "\x80");
    EXPECT_FALSE(ConvertToWindows1252("\xE4\xB8\xAD", "UTF-8", out));
}

} // namespace
} // namespace tesser::stamp
