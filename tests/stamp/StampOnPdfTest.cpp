// Stamping real PDF files through the QPDF host, then reading the written files back with qpdf,
// pdftotext and pdftoppm: exact stream bytes, positions, layers, fonts, page selection and
// removal.
#include "StampFixtures.h"

#include "hostcalls/HostCalls.h"
#include "stamp/ContentsInsertion.h"
#include "stamp/StampingPass.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <tuple>

namespace tesser::stamp {
namespace {

using namespace tesser::stamp::test;
using tesser::test::TempDir;
using tesser::test::WriteFile;

constexpr std::time_t kRunTime = 1640439930; // 2021-12-25 13:45:30 UTC

class StampOnPdf : public ::testing::Test {
protected:
    // Opens in, stamps each Tesserion in turn, saves as out and checks it.
    void StampInto(const std::filesystem::path& in, const std::vector<model::Tesserion>& stamps,
                   const std::filesystem::path& out) {
        HDoc doc = session.Open(in);
        if (doc == nullptr) {
            return;
        }
        for (const auto& t : stamps) {
            EXPECT_TRUE(StampDocument(t, doc, kRunTime));
        }
        session.SaveAndClose(doc, out);
        EXPECT_EQ(CheckProblems(out), "");
    }

    // Writes pdf as in.pdf and stamps it into out.pdf (StampInto).
    std::filesystem::path StampFile(const std::string& pdf,
                                    const std::vector<model::Tesserion>& stamps) {
        WriteFile(dir / "in.pdf", pdf);
        StampInto(dir / "in.pdf", stamps, dir / "out.pdf");
        return dir / "out.pdf";
    }

    // The data of the page's streams in "Contents" order.
    static std::vector<std::string> ContentData(const std::filesystem::path& pdf,
                                                const PdfPage& page) {
        std::vector<std::string> data;
        for (int n : page.contents) {
            data.push_back(StreamData(pdf, n));
        }
        return data;
    }

    // Opens from, takes the Tesserions off in the order given, saves as to and checks that the
    // result passes qpdf --check without a message and that every page's content streams hold
    // the same data as the same page of expected.
    void UnstampAndCompare(const std::filesystem::path& from,
                           const std::vector<model::Tesserion>& removals,
                           const std::filesystem::path& to, const std::filesystem::path& expected) {
        HDoc doc = session.Open(from);
        ASSERT_NE(doc, nullptr);
        for (const auto& t : removals) {
            EXPECT_TRUE(UnstampDocument(t, doc));
        }
        session.SaveAndClose(doc, to);
        EXPECT_EQ(CheckProblems(to), "");
        EXPECT_TRUE(session.Messages().empty());
        const auto want = ReadPages(expected);
        const auto got = ReadPages(to);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(ContentData(to, got[i]), ContentData(expected, want[i])) << "page " << i + 1;
        }
    }

    // The stamp stream on a page stamped once in the foreground: the last of "Contents".
    static std::string ForegroundStamp(const std::filesystem::path& pdf, int pageIndex) {
        const auto pages = ReadPages(pdf);
        if (static_cast<size_t>(pageIndex) >= pages.size() || pages[pageIndex].contents.empty()) {
            ADD_FAILURE() << "no page " << pageIndex;
            return {};
        }
        return StreamData(pdf, pages[pageIndex].contents.back());
    }

    TempDir dir;
    HostSession session;
};

TEST_F(StampOnPdf, WorkedExampleStreamBytesOnThirdPage) {
    const auto out = StampFile(MakeLetterPdf(3), {TextStamp("Page <PageNumber>")});
    const auto pages = ReadPages(out);
    ASSERT_EQ(pages.size(), 3u);
    for (const auto& page : pages) {
        ASSERT_EQ(page.contents.size(), 4u);
        const auto data = ContentData(out, page);
        EXPECT_EQ(data[0], "q");
        EXPECT_EQ(data[1], "");
        EXPECT_EQ(data[2], "Q");
    }
    EXPECT_EQ(StreamData(out, pages[2].contents[3]),
              "0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 72 756 Tm 0 0 TD (Page 3) Tj 0 -14 TD\r\nET\r\n");
}

TEST_F(StampOnPdf, AddedStreamsCarryOnlyTheirLengthAndNoFilter) {
    WriteFile(dir / "in.pdf", MakeLetterPdf(3));
    HDoc doc = session.Open(dir / "in.pdf");
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(StampDocument(TextStamp("Page <PageNumber>"), doc, kRunTime));
    hostcalls::PageHandle page(hostcalls::AcquirePage(doc, 2));
    const HObject contents = hostcalls::DictGet(hostcalls::GetPageCosObject(page.get()),
                                                hostcalls::CreateAtom("Contents"));
    ASSERT_EQ(hostcalls::ArrayLength(contents), 4);
    const HAtom length = hostcalls::CreateAtom("Length");
    const HAtom filter = hostcalls::CreateAtom("Filter");
    const int32_t expected[] = {1, -1, 1, 71};
    for (int32_t i : {0, 2, 3}) {
        const HObject stream = hostcalls::ArrayGet(contents, i);
        EXPECT_EQ(hostcalls::GetIntegerValue(hostcalls::DictGet(stream, length)), expected[i]);
        EXPECT_FALSE(hostcalls::DictKnown(stream, filter));
        EXPECT_EQ(hostcalls::GetStreamData(stream).size(), static_cast<size_t>(expected[i]));
    }
    page = hostcalls::PageHandle();
    session.Close(doc);
}

TEST_F(StampOnPdf, VariantsWriteTheDocumentedOperators) {
    struct Variant {
        const char* name;
        double angle;
        model::JustifyH justify;
        const char* text;
        const char* expected;
    } variants[] = {
        {"rotated 90", 90, model::JustifyH::Left, "Page <PageNumber>",
         "0 g \r\nBT\r\n/F1 12 Tf 0 1 -1 0 72 756 Tm 0 0 TD (Page 1) Tj 0 -14 TD\r\nET\r\n"},
        {"rotated 180", 180, model::JustifyH::Left, "Page <PageNumber>",
         "0 g \r\nBT\r\n/F1 12 Tf -1 0 -0 -1 72 756 Tm 0 0 TD (Page 1) Tj 0 -14 TD\r\nET\r\n"},
        // Helvetica: P 667, a 556, g 556, e 556, space 278, 1 556 -> 3169 x 12 / 1000 = 38.028
        {"centred", 0, model::JustifyH::Center, "Page <PageNumber>",
         "0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 72 756 Tm -19.014 0 TD (Page 1) Tj 19.014 -14 "
         "TD\r\nET\r\n"},
        {"empty text", 0, model::JustifyH::Left, "",
         "0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 72 756 Tm ET\r\n"},
        {"special bytes", 0, model::JustifyH::Left,
         "a(b)c\td\x80"
         "e\xE9",
         "0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 72 756 Tm 0 0 TD (a\\(b\\)c\\011d\\200e\xE9) Tj 0 -14 "
         "TD\r\nET\r\n"},
    };
    for (const auto& v : variants) {
        auto t = TextStamp(v.text);
        t.PosAngle = v.angle;
        t.JustifyH = v.justify;
        const auto out = StampFile(MakeLetterPdf(1), {t});
        EXPECT_EQ(ForegroundStamp(out, 0), v.expected) << v.name;
    }
}

TEST_F(StampOnPdf, ContentTextOfAnyLengthIsWrittenWhole) {
    std::string text;
    while (text.size() < 200000) {
        text += "0123456789 abcdefghij <PageNumber>\n";
    }
    auto t = TextStamp(text);
    t.PosY = 0;
    t.FontLeading = 0; // keep every line on the page; the crop warning is not under test here
    const auto out = StampFile(MakeLetterPdf(1), {t});
    const std::string data = ForegroundStamp(out, 0);
    EXPECT_GT(data.size(), 200000u);
    const std::string line = "0 0 TD (0123456789 abcdefghij 1) Tj 0 0 TD\r\n";
    size_t lines = 0;
    for (size_t p = data.find(line); p != std::string::npos; p = data.find(line, p + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, text.size() / 35);
    EXPECT_EQ(data.substr(data.size() - 4), "ET\r\n");
}

// Coordinates readers cannot hold are never written: the page is not stamped and the message
// names the position; the saved file stays sound.
TEST_F(StampOnPdf, PositionsBeyondWhatReadersAcceptFailThePageAndWriteNothing) {
    auto far = TextStamp("X");
    far.PosX = 1e19;
    auto longLine = TextStamp(std::string(8000, 'W'));
    longLine.JustifyH = model::JustifyH::Right;
    for (const auto& [t, said] :
         {std::pair{far, std::string("The text cannot be placed at x = 1e+19, y = 756 points: PDF "
                                     "readers accept coordinates from -32767 to 32767 only")},
          std::pair{longLine,
                    std::string("The text cannot be placed at x = -90552, y = 756 points")}}) {
        WriteFile(dir / "in.pdf", MakeLetterPdf(1));
        HDoc doc = session.Open(dir / "in.pdf");
        ASSERT_NE(doc, nullptr);
        StampOutcome outcome;
        StampDocument(t, doc, kRunTime, &outcome);
        EXPECT_EQ(outcome.Stamped, 0);
        EXPECT_EQ(outcome.Skipped, std::vector<std::int32_t>{1});
        ASSERT_FALSE(session.Messages().empty());
        EXPECT_EQ(session.Messages()[0].rfind(said, 0), 0u) << session.Messages()[0];
        session.Clear();
        session.SaveAndClose(doc, dir / "out.pdf");
        EXPECT_EQ(CheckProblems(dir / "out.pdf"), "");
        EXPECT_EQ(ReadPages(dir / "out.pdf")[0].contents.size(), 1u);
    }
}

TEST_F(StampOnPdf, PageNumberOfPageCountSitsOnBaseline756OnEveryPage) {
    const auto out = StampFile(MakeLetterPdf(4), {TextStamp("Page <PageNumber> of <PageCount>")});
    for (int page = 1; page <= 4; ++page) {
        const auto words = WordsOnPage(out, page);
        ASSERT_EQ(words.size(), 4u) << "page " << page;
        EXPECT_EQ(words[0].text, "Page");
        EXPECT_EQ(words[1].text, std::to_string(page));
        EXPECT_EQ(words[2].text, "of");
        EXPECT_EQ(words[3].text, "4");
        EXPECT_NEAR(words[0].xMin, 72, 0.5);
        for (const auto& w : words) {
            // pdftotext measures y from the top: baseline 756 from the bottom is 36 from the
            // top, with Helvetica's descent (0.207 x 12) below it and its ascent above.
            EXPECT_LT(w.yMin, 36);
            EXPECT_GT(w.yMax, 36);
            EXPECT_NEAR(w.yMax - 36, 0.207 * 12, 0.5) << w.text;
        }
    }
}

TEST_F(StampOnPdf, RightJustificationEndsEveryLineAtPosX) {
    auto t = TextStamp("Page <PageNumber> of <PageCount>\nWide line WWW\n<PageNumber>");
    t.PosX = 540;
    t.JustifyH = model::JustifyH::Right;
    const auto out = StampFile(MakeLetterPdf(2), {t});
    for (int page = 1; page <= 2; ++page) {
        const auto words = WordsOnPage(out, page);
        ASSERT_EQ(words.size(), 8u);
        EXPECT_NEAR(words[3].xMax, 540, 0.5) << words[3].text; // "2" of the first line
        EXPECT_NEAR(words[6].xMax, 540, 0.5) << words[6].text; // "WWW"
        EXPECT_NEAR(words[7].xMax, 540, 0.5) << words[7].text; // the page number
        EXPECT_NEAR(words[7].yMax - words[0].yMax, 28, 0.5);   // two leadings down
    }
}

TEST_F(StampOnPdf, ForegroundShowsOverABlackPageBackgroundIsHidden) {
    PageSpec black;
    black.streams = {"0 g 0 0 612 792 re f"};
    auto t = TextStamp("MMMM");
    t.FontFace = "Helvetica-Bold";
    t.FontSize = 72;
    t.PosY = 300; // baseline 492 from the bottom, 300 from the top
    t.ColorValues = {1, 1, 1, 1};
    t.ColorName = "Custom (Gray)";
    t.ColorText = "1";

    const auto countWhite = [](const Gray& g) {
        int white = 0;
        for (int y = 230; y < 300; ++y) {
            for (int x = 72; x < 300; ++x) {
                white += g.at(x, y) > 200 ? 1 : 0;
            }
        }
        return white;
    };

    const auto foreground = StampFile(MakePdf({black}), {t});
    const Gray fg = Render(foreground, 1);
    ASSERT_EQ(fg.width, 612);
    EXPECT_GT(countWhite(fg), 2000);
    EXPECT_LT(fg.at(500, 700), 50); // the rest of the page stays black

    t.Layer = model::Layer::Background;
    const auto background = StampFile(MakePdf({black}), {t});
    EXPECT_EQ(countWhite(Render(background, 1)), 0);
    const auto pages = ReadPages(background);
    ASSERT_EQ(pages[0].contents.size(), 4u);
    EXPECT_EQ(StreamData(background, pages[0].contents[0]), "q");
    EXPECT_EQ(StreamData(background, pages[0].contents[2]), "Q");
    EXPECT_EQ(StreamData(background, pages[0].contents[3]), "0 g 0 0 612 792 re f");
}

// A page of each form of "Contents": one stream, an array of two, none.
std::tuple<PageSpec, PageSpec, PageSpec> EachContentsForm() {
    PageSpec single;
    single.streams = {"0 g 10 10 50 50 re f"};
    PageSpec array;
    array.form = ContentsForm::Array;
    array.streams = {"0.5 g", "20 20 40 40 re f"};
    PageSpec none;
    none.form = ContentsForm::None;
    return {single, array, none};
}

TEST_F(StampOnPdf, RemovingInReverseOrderRestoresEveryPagesContents) {
    const auto [single, array, none] = EachContentsForm();
    const std::string pdf = MakePdf({single, array, none});

    auto t1 = TextStamp("T1 <PageNumber>");
    auto t2 = TextStamp("T2 <PageCount>");
    t2.Layer = model::Layer::Background;

    WriteFile(dir / "in.pdf", pdf);
    StampInto(dir / "in.pdf", {t1, t2}, dir / "stamped.pdf");

    const auto stamped = ReadPages(dir / "stamped.pdf");
    ASSERT_EQ(stamped.size(), 3u);
    // Background T2 under [q, old, Q, T1]: [q, T2, Q, q, old..., Q, T1]
    const auto data = ContentData(dir / "stamped.pdf", stamped[1]);
    ASSERT_EQ(data.size(), 8u);
    EXPECT_EQ(data[0], "q");
    EXPECT_NE(data[1].find("(T2 3)"), std::string::npos);
    EXPECT_EQ(data[2], "Q");
    EXPECT_EQ(data[3], "q");
    EXPECT_EQ(data[4], "0.5 g");
    EXPECT_EQ(data[5], "20 20 40 40 re f");
    EXPECT_EQ(data[6], "Q");
    EXPECT_NE(data[7].find("(T1 2)"), std::string::npos);

    UnstampAndCompare(dir / "stamped.pdf", {t2, t1}, dir / "restored.pdf", dir / "in.pdf");
    // The stamps' streams are gone from the file, not just from the pages.
    const auto all = tesser::test::Run("qpdf --qdf --object-streams=disable " +
                                       tesser::test::Quote((dir / "restored.pdf").string()) + " -");
    EXPECT_EQ(all.output.find("(T1 "), std::string::npos);
    EXPECT_EQ(all.output.find("(T2 "), std::string::npos);
}

// A pass puts one "q" and one "Q" object on every page it stamps. Taking the second of two
// Tesserions off the pages it was on, in a later session as an undo does, must leave the first
// stamp and the page's own content exactly as stamping with the first alone gives them.
TEST_F(StampOnPdf, RemovingTheLaterOfTwoStampsFromSomePagesLeavesTheEarlierExact) {
    const auto [single, array, none] = EachContentsForm();
    WriteFile(dir / "in.pdf", MakePdf({single, array, none, single, array}));

    struct Case {
        const char* name;
        model::Layer first;
        model::Layer second;
    } cases[] = {
        {"foreground over foreground", model::Layer::Foreground, model::Layer::Foreground},
        {"foreground over background", model::Layer::Background, model::Layer::Foreground},
        {"background under foreground", model::Layer::Foreground, model::Layer::Background},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto t1 = TextStamp("First <PageNumber>");
        t1.Layer = c.first;
        auto t2 = TextStamp("Second <PageNumber>");
        t2.Layer = c.second;
        t2.PosY = 100;
        t2.Pages.PagesAll = false;
        t2.Pages.PagesRange = "2-4";

        StampInto(dir / "in.pdf", {t1}, dir / "first.pdf");
        StampInto(dir / "in.pdf", {t1, t2}, dir / "both.pdf");

        // Every page of a pass shows the same "q" object; the two passes' differ.
        const auto both = ReadPages(dir / "both.pdf");
        ASSERT_EQ(both.size(), 5u);
        ASSERT_EQ(both[3].contents.size(), both[0].contents.size() + 3);
        EXPECT_EQ(both[0].contents.front(), both[4].contents.front());
        EXPECT_EQ(both[1].contents.front(), both[3].contents.front());
        EXPECT_NE(both[0].contents.front(), both[1].contents.front());
        EXPECT_NE(WordsOnPage(dir / "both.pdf", 3).size(),
                  WordsOnPage(dir / "first.pdf", 3).size());

        UnstampAndCompare(dir / "both.pdf", {t2}, dir / "removed.pdf", dir / "first.pdf");
        for (size_t i = 0; i < 5; ++i) {
            const auto words = WordsOnPage(dir / "removed.pdf", static_cast<int>(i) + 1);
            std::string text;
            for (const auto& w : words) {
                text += w.text + " ";
            }
            EXPECT_NE(text.find("First " + std::to_string(i + 1)), std::string::npos) << text;
            EXPECT_EQ(text.find("Second"), std::string::npos) << text;
        }

        // And the first comes off as well: the pages' own content, exactly.
        UnstampAndCompare(dir / "removed.pdf", {t1}, dir / "restored.pdf", dir / "in.pdf");
    }
}

TEST_F(StampOnPdf, RemovalFromAPageThatWasNeverStampedChangesNothing) {
    const std::vector<std::string> streams = {"q 1 0 0 1 5 5 cm", "0 g 10 10 50 50 re f", "Q",
                                              "0 g"};
    PageSpec page;
    page.form = ContentsForm::Array;
    page.streams = streams;
    WriteFile(dir / "in.pdf", MakePdf({page, page}));
    HDoc doc = session.Open(dir / "in.pdf");
    ASSERT_NE(doc, nullptr);
    auto foreground = TextStamp("X");
    foreground.Pages.PagesAll = false;
    foreground.Pages.PagesRange = "1";
    auto background = TextStamp("X");
    background.Layer = model::Layer::Background;
    background.Pages.PagesAll = false;
    background.Pages.PagesRange = "2";
    EXPECT_TRUE(UnstampDocument(foreground, doc)); // a failed removal skips the page
    EXPECT_TRUE(UnstampDocument(background, doc));
    session.SaveAndClose(doc, dir / "out.pdf");
    EXPECT_EQ(session.Count("The stamp to remove is not on this page; its contents were left "
                            "unchanged"),
              2);
    EXPECT_EQ(session.Messages().size(), 2u);
    for (const auto& p : ReadPages(dir / "out.pdf")) {
        EXPECT_EQ(ContentData(dir / "out.pdf", p), streams);
    }
}

std::string FontOf(const std::filesystem::path& pdf, const PdfPage& page,
                   const std::string& resourceName) {
    const std::regex ref("/" + resourceName + R"re( (\d+) 0 R)re");
    std::smatch m;
    if (!std::regex_search(page.unparsed, m, ref)) {
        return {};
    }
    return ShowObject(pdf, std::stoi(m[1]));
}

TEST_F(StampOnPdf, ExistingHelveticaIsReusedUnderItsOwnName) {
    PageSpec page;
    page.fonts = {{"R7", "Helvetica /Encoding /WinAnsiEncoding"}};
    const auto out = StampFile(MakePdf({page}), {TextStamp("Page <PageNumber>")});
    EXPECT_EQ(ForegroundStamp(out, 0),
              "0 g \r\nBT\r\n/R7 12 Tf 1 0 0 1 72 756 Tm 0 0 TD (Page 1) Tj 0 -14 TD\r\nET\r\n");
    const auto pages = ReadPages(out);
    EXPECT_EQ(pages[0].unparsed.find("/F1"), std::string::npos) << pages[0].unparsed;
}

// A page font the stamp could draw with only by changing it, or that would draw the stamp's
// bytes as other characters, is left exactly as it was; the stamp brings its own.
TEST_F(StampOnPdf, PageFontsThatAreNotPlainWinAnsiType1AreNeverReusedNorChanged) {
    struct Case {
        const char* name;
        const char* font;
    } cases[] = {
        {"no encoding (StandardEncoding)", "Helvetica"},
        {"MacRoman", "Helvetica /Encoding /MacRomanEncoding"},
        {"TrueType", "Helvetica /Encoding /WinAnsiEncoding /Subtype /TrueType"},
        {"embedded", "Helvetica /Encoding /WinAnsiEncoding /FontDescriptor << /FontName "
                     "/Helvetica /FontFile3 << /Length 0 >> >>"},
        {"differences", "Helvetica /Encoding << /BaseEncoding /WinAnsiEncoding >>"},
    };
    for (const auto& c : cases) {
        PageSpec page;
        page.fonts = {{"R7", c.font}};
        WriteFile(dir / "in.pdf", MakePdf({page}));
        const std::string before = FontOf(dir / "in.pdf", ReadPages(dir / "in.pdf")[0], "R7");
        const auto out = StampFile(MakePdf({page}), {TextStamp("Caf\xE9 <PageNumber>")});
        const auto pages = ReadPages(out);
        EXPECT_NE(ForegroundStamp(out, 0).find("/F1 12 Tf "), std::string::npos) << c.name;
        EXPECT_EQ(FontOf(out, pages[0], "R7"), before) << c.name;
        const auto words = WordsOnPage(out, 1);
        ASSERT_EQ(words.size(), 2u) << c.name;
        EXPECT_EQ(words[0].text, "Caf\xC3\xA9") << c.name;
    }
}

TEST_F(StampOnPdf, SymbolAndZapfDingbatsKeepTheirBuiltInEncodingAndShowTheirGlyphs) {
    for (const char* face : {"Symbol", "ZapfDingbats"}) {
        auto t = TextStamp("abc");
        t.FontFace = face;
        t.FontSize = 36;
        t.PosY = 100;
        const auto out = StampFile(MakeLetterPdf(1), {t});
        const auto pages = ReadPages(out);
        const std::string font = FontOf(out, pages[0], "F1");
        EXPECT_NE(font.find(std::string("/BaseFont /") + face), std::string::npos) << font;
        EXPECT_EQ(font.find("/Encoding"), std::string::npos) << font;
        const Gray page = Render(out, 1);
        int ink = 0;
        for (int y = 60; y < 110; ++y) {
            for (int x = 72; x < 200; ++x) {
                ink += page.at(x, y) < 128 ? 1 : 0;
            }
        }
        EXPECT_GT(ink, 100) << face << ": the glyphs are drawn";
    }
    // A page's Symbol in its built-in encoding is reused as it is.
    PageSpec page;
    page.fonts = {{"S1", "Symbol"}};
    auto t = TextStamp("abc");
    t.FontFace = "Symbol";
    const auto out = StampFile(MakePdf({page}), {t});
    EXPECT_NE(ForegroundStamp(out, 0).find("/S1 12 Tf "), std::string::npos);
}

// Pages that name one indirect "Contents" array: each stamped page gets an array of its own,
// so a stamp shows on its own page only, and taking it off gives every page back its content.
TEST_F(StampOnPdf, PagesSharingOneContentsArrayEachGetTheirOwnStampAndLoseItAgain) {
    PageSpec shared;
    shared.form = ContentsForm::SharedArray;
    shared.streams = {"0 0 m 10 10 l S", "1 0 0 1 0 0 cm"};
    WriteFile(dir / "in.pdf", MakePdf({shared, shared, shared}));
    auto first = TextStamp("Page <PageNumber>");
    first.Pages.PagesAll = false;
    first.Pages.PagesRange = "1";
    StampInto(dir / "in.pdf", {first}, dir / "one.pdf");
    const auto one = ReadPages(dir / "one.pdf");
    ASSERT_EQ(one.size(), 3u);
    EXPECT_EQ(one[0].contents.size(), 5u);
    for (int page : {1, 2}) {
        EXPECT_EQ(ContentData(dir / "one.pdf", one[page]), shared.streams) << "page " << page + 1;
        EXPECT_TRUE(WordsOnPage(dir / "one.pdf", page + 1).empty());
    }

    const auto all = TextStamp("Page <PageNumber>");
    StampInto(dir / "in.pdf", {all}, dir / "all.pdf");
    for (int page = 1; page <= 3; ++page) {
        const auto words = WordsOnPage(dir / "all.pdf", page);
        ASSERT_EQ(words.size(), 2u) << "page " << page;
        EXPECT_EQ(words[1].text, std::to_string(page));
    }
    UnstampAndCompare(dir / "all.pdf", {all}, dir / "back.pdf", dir / "in.pdf");
}

TEST_F(StampOnPdf, AnIndirectContentsArrayOfOnePageStaysIndirect) {
    PageSpec own;
    own.form = ContentsForm::SharedArray; // named by this page alone
    const auto out = StampFile(MakePdf({own, PageSpec{}}), {TextStamp("X")});
    const auto pages = ReadPages(out);
    EXPECT_TRUE(std::regex_search(pages[0].unparsed, std::regex(R"re(/Contents \d+ 0 R)re")))
        << pages[0].unparsed;
    EXPECT_EQ(pages[0].contents.size(), 4u);
}

TEST_F(StampOnPdf, BaseNameMatchIsCaseSensitive) {
    PageSpec page;
    page.fonts = {{"F1", "helvetica"}};
    const auto out = StampFile(MakePdf({page}), {TextStamp("X")});
    EXPECT_NE(ForegroundStamp(out, 0).find("/F2 12 Tf "), std::string::npos);
    const auto pages = ReadPages(out);
    const std::string added = FontOf(out, pages[0], "F2");
    EXPECT_NE(added.find("/BaseFont /Helvetica"), std::string::npos) << added;
    EXPECT_NE(added.find("/Encoding /WinAnsiEncoding"), std::string::npos);
    EXPECT_NE(added.find("/Subtype /Type1"), std::string::npos);
    EXPECT_NE(added.find("/Name /F2"), std::string::npos);
    EXPECT_EQ(FontOf(out, pages[0], "F1").find("/Encoding"), std::string::npos);
}

TEST_F(StampOnPdf, NextFreeFontNameFollowsTheNamesInUse) {
    PageSpec page;
    page.fonts = {{"F1", "Times-Roman"}, {"F2", "Courier"}};
    const auto out = StampFile(MakePdf({page}), {TextStamp("X")});
    EXPECT_NE(ForegroundStamp(out, 0).find("/F3 12 Tf "), std::string::npos);
    EXPECT_NE(FontOf(out, ReadPages(out)[0], "F3").find("/BaseFont /Helvetica"), std::string::npos);
}

TEST_F(StampOnPdf, ProcSetGainsOnlyTheMissingNames) {
    PageSpec without;
    PageSpec textOnly;
    textOnly.procSet = "[/Text]";
    PageSpec both;
    both.procSet = "[/PDF /ImageB /Text]";
    const auto out = StampFile(MakePdf({without, without, textOnly, both}), {TextStamp("X")});
    const auto pages = ReadPages(out);
    ASSERT_EQ(pages.size(), 4u);
    // The pages without a ProcSet share one array of the pass.
    const std::regex shared(R"re(/ProcSet (\d+) 0 R)re");
    std::smatch first;
    std::smatch second;
    ASSERT_TRUE(std::regex_search(pages[0].unparsed, first, shared)) << pages[0].unparsed;
    ASSERT_TRUE(std::regex_search(pages[1].unparsed, second, shared)) << pages[1].unparsed;
    EXPECT_EQ(first[1], second[1]);
    EXPECT_EQ(ShowObject(out, std::stoi(first[1])), "[ /PDF /Text ]");
    EXPECT_NE(pages[2].unparsed.find("/ProcSet [ /Text /PDF ]"), std::string::npos)
        << pages[2].unparsed;
    EXPECT_NE(pages[3].unparsed.find("/ProcSet [ /PDF /ImageB /Text ]"), std::string::npos)
        << pages[3].unparsed;
}

TEST_F(StampOnPdf, SecondStampReusesItsFontResource) {
    const auto out = StampFile(MakeLetterPdf(1), {TextStamp("A"), TextStamp("B")});
    const auto pages = ReadPages(out);
    ASSERT_EQ(pages[0].contents.size(), 7u);
    EXPECT_NE(StreamData(out, pages[0].contents[6]).find("/F1 12 Tf"), std::string::npos);
    EXPECT_EQ(pages[0].unparsed.find("/F2"), std::string::npos);
}

// Page dictionaries with object numbers blanked out, to compare across a rewrite.
std::string Shape(const std::string& unparsed) {
    return std::regex_replace(unparsed, std::regex(R"(\d+ 0 R)"), "R");
}

TEST_F(StampOnPdf, SelectionDecidesExactlyWhichPagesChange) {
    struct Case {
        const char* name;
        bool all;
        model::PagesOddEven oddEven;
        const char* range;
        std::vector<int> stamped; // 1-based
    } cases[] = {
        {"odd", true, model::PagesOddEven::OddOnly, "", {1, 3, 5}},
        {"even", true, model::PagesOddEven::EvenOnly, "", {2, 4, 6}},
        {"range", false, model::PagesOddEven::OddAndEven, "2-3,6", {2, 3, 6}},
        {"range odd", false, model::PagesOddEven::OddOnly, "2-5", {3, 5}},
        {"open range", false, model::PagesOddEven::OddAndEven, "5-", {5, 6}},
        {"empty range", false, model::PagesOddEven::OddAndEven, "", {}},
    };
    const std::string pdf = MakeLetterPdf(6);
    WriteFile(dir / "original.pdf", pdf);
    const auto original = ReadPages(dir / "original.pdf");
    for (const auto& c : cases) {
        auto t = TextStamp("<PageNumber>");
        t.Pages.PagesAll = c.all;
        t.Pages.PagesOddEven = c.oddEven;
        t.Pages.PagesRange = c.range;
        const auto out = StampFile(pdf, {t});
        const auto pages = ReadPages(out);
        ASSERT_EQ(pages.size(), 6u);
        for (int n = 1; n <= 6; ++n) {
            const auto& page = pages[static_cast<size_t>(n - 1)];
            const bool selected =
                std::find(c.stamped.begin(), c.stamped.end(), n) != c.stamped.end();
            if (selected) {
                ASSERT_EQ(page.contents.size(), 4u) << c.name << " page " << n;
                EXPECT_NE(StreamData(out, page.contents[3]).find("(" + std::to_string(n) + ")"),
                          std::string::npos);
            } else {
                EXPECT_EQ(Shape(page.unparsed),
                          Shape(original[static_cast<size_t>(n - 1)].unparsed))
                    << c.name << " page " << n;
            }
        }
    }
}

TEST_F(StampOnPdf, OverflowOnTwoPagesGivesOneWarningListingBothSides) {
    auto t = TextStamp("<PageNumber>");
    // Page 2 starts left of the crop box, page 4 below it; the rest stay inside.
    t.Text = "x";
    t.PosX = 100;
    PageSpec normal;
    PageSpec shiftedLeft;
    shiftedLeft.cropBox = "[150 0 612 792]";
    PageSpec shortCrop;
    shortCrop.cropBox = "[0 770 612 792]";
    const auto out = StampFile(MakePdf({normal, shiftedLeft, normal, shortCrop}), {t});
    ASSERT_EQ(session.sink.messages.size(), 1u);
    EXPECT_EQ(session.sink.messages[0].kind, host::RecordingSink::Message::Kind::Confirm);
    EXPECT_EQ(session.sink.messages[0].text,
              "Some text may not be visible because it is outside the crop box\n\nThe affected "
              "text is to the left and bottom of the page.\n\nDo you wish to continue or cancel?");
    for (const auto& page : ReadPages(out)) {
        EXPECT_EQ(page.contents.size(), 4u);
    }
}

TEST_F(StampOnPdf, CancelAtTheWarningAnswersFalseAndKeepsTheStamps) {
    auto t = TextStamp("x");
    t.PosX = -10;
    session.sink.confirmAnswers = {0};
    WriteFile(dir / "in.pdf", MakeLetterPdf(2));
    HDoc doc = session.Open(dir / "in.pdf");
    ASSERT_NE(doc, nullptr);
    StampOutcome outcome;
    EXPECT_FALSE(StampDocument(t, doc, kRunTime, &outcome));
    EXPECT_TRUE(outcome.Cancelled);
    EXPECT_EQ(outcome.Stamped, 2);
    EXPECT_TRUE(outcome.Whole());
    session.SaveAndClose(doc, dir / "out.pdf");
    EXPECT_EQ(session.sink.messages.size(), 1u);
    for (const auto& page : ReadPages(dir / "out.pdf")) {
        EXPECT_EQ(page.contents.size(), 4u);
    }
}

TEST_F(StampOnPdf, DocumentThatForbidsChangesIsLeftAlone) {
    WriteFile(dir / "plain.pdf", MakeLetterPdf(2));
    const auto r = tesser::test::Run("qpdf --encrypt '' owner 256 --modify=none -- " +
                                     tesser::test::Quote((dir / "plain.pdf").string()) + " " +
                                     tesser::test::Quote((dir / "locked.pdf").string()));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    HDoc doc = session.Open(dir / "locked.pdf");
    ASSERT_NE(doc, nullptr);
    auto t = TextStamp("x");
    t.PosX = -10; // would overflow: no warning must follow the refusal
    StampOutcome outcome;
    EXPECT_FALSE(StampDocument(t, doc, kRunTime, &outcome));
    EXPECT_TRUE(outcome.Refused);
    EXPECT_FALSE(outcome.Cancelled);
    EXPECT_EQ(outcome.Stamped, 0);
    EXPECT_EQ(
        session.Messages(),
        std::vector<std::string>{"The security settings of this document do not allow changes"});
    const int32_t flags = hostcalls::GetDocumentFlags(doc);
    EXPECT_EQ(flags & kHDocNeedsSave, 0);
    session.Close(doc);
}

TEST_F(StampOnPdf, SecuredDocumentThatAllowsChangesIsStamped) {
    WriteFile(dir / "plain.pdf", MakeLetterPdf(1));
    const auto r = tesser::test::Run("qpdf --encrypt '' owner 256 -- " +
                                     tesser::test::Quote((dir / "plain.pdf").string()) + " " +
                                     tesser::test::Quote((dir / "secured.pdf").string()));
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    HDoc doc = session.Open(dir / "secured.pdf");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(StampDocument(TextStamp("x"), doc, kRunTime));
    EXPECT_TRUE(session.Messages().empty());
    session.Close(doc);
}

} // namespace
} // namespace tesser::stamp
