// The undo journal: what is written comes back exactly, and damage is refused.
#include "cli/Journal.h"
#include "host/Security.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

namespace tesser::cli {
namespace {

using docsettings::ObjectCopy;

JournalRecord SampleRecord() {
    JournalRecord jr;
    jr.Record.ReopenPassword = std::string("own er\n%\xE9-", 9);
    jr.Record.ChangedSecurity = true;
    jr.Record.Incremental = true;
    jr.Id = 17;
    jr.Time = 1700000000;
    model::Tesserion t;
    t.Name = "Logo [1]";
    t.Text = "Line one\r\nLine \\two\t%-";
    t.PosX = 0.1 + 0.2;
    t.PosY = -1e30;
    t.PosAngle = -90;
    t.Layer = model::Layer::Background;
    t.ColorSpace = model::ColorSpace::CMYK;
    t.ColorValues = {0.1, 0.2, 0.3, 1.0 / 3};
    t.Pages.PagesAll = false;
    t.Pages.PagesRange = "-3,5-7,10,20-";
    t.Pages.PagesOddEven = model::PagesOddEven::EvenOnly;
    jr.Record.Tesserions = {t, model::Tesserion{}};
    ui::UndoEntry e;
    e.Name = "/tmp/some folder/a file.pdf";
    e.Info.SetTitle = true;
    e.Info.Title = "";
    e.Info.SetIndex = true;
    e.Info.PreviousIndex = docsettings::IndexSnapshot{
        true, true,
        ObjectCopy::Dictionary(
            {{"Index", ObjectCopy::Dictionary({{"F", ObjectCopy::String("C:\\x y.pdx")}})},
             {"Name", ObjectCopy::Name("PDX")}})};
    e.Info.PreviousBaseURL = docsettings::BaseURLSnapshot{false, ObjectCopy::Absent()};
    docsettings::InfoSnapshot info;
    info.hadInfo = true;
    info.entries[0] = ObjectCopy::String("");
    info.entries[2] = ObjectCopy::Name("Odd");
    e.Info.PreviousInfo = info;
    e.Open.Zoom = 9;
    e.Open.Page = -1;
    docsettings::ViewSnapshot view;
    view.openAction = ObjectCopy::Array(
        {ObjectCopy::Page(2), ObjectCopy::Name("XYZ"), ObjectCopy::Null(),
         ObjectCopy::Real(static_cast<HFixed>(0x80000000)), ObjectCopy::Integer(-7),
         ObjectCopy::Boolean(true), ObjectCopy::Unsupported()});
    view.hadViewerPreferences = true;
    view.preferences[3] = ObjectCopy::Boolean(false);
    e.Open.Previous = view;
    e.Security.ChangeSecurity = true;
    e.Security.RemoveSecurity = true;
    e.Security.Permissions = 20;
    e.Security.CurrentPassword = "cur";
    e.SkippedPages = {{}, {2, 7, 2147483647}};
    e.Fingerprint = {18446744073709551615ULL, 1469598103934665603ULL};
    e.Before = {7, 42};
    ui::UndoEntry current;
    current.IsCurrent = true;
    current.Name = "[Current]";
    jr.Record.Entries = {e, current};
    return jr;
}

// The journal's records, none of them refused.
std::vector<JournalRecord> LoadAll(const Journal& journal) {
    std::vector<std::string> refused;
    std::vector<JournalRecord> records = journal.Load(refused);
    EXPECT_TRUE(refused.empty()) << refused.front();
    return records;
}

void ExpectSameRecord(const JournalRecord& a, const JournalRecord& b) {
    // Every field, also one added later; the checks below say which differs.
    EXPECT_TRUE(a == b);
    EXPECT_EQ(a.Record.ReopenPassword, b.Record.ReopenPassword);
    EXPECT_EQ(a.Record.ChangedSecurity, b.Record.ChangedSecurity);
    EXPECT_EQ(a.Record.Incremental, b.Record.Incremental);
    EXPECT_EQ(a.Id, b.Id);
    EXPECT_EQ(a.Time, b.Time);
    EXPECT_EQ(a.Record.Tesserions, b.Record.Tesserions);
    ASSERT_EQ(a.Record.Entries.size(), b.Record.Entries.size());
    for (std::size_t i = 0; i < a.Record.Entries.size(); ++i) {
        const ui::UndoEntry& x = a.Record.Entries[i];
        const ui::UndoEntry& y = b.Record.Entries[i];
        EXPECT_EQ(x.IsCurrent, y.IsCurrent);
        EXPECT_EQ(x.Name, y.Name);
        EXPECT_EQ(x.Info.SetTitle, y.Info.SetTitle);
        EXPECT_EQ(x.Info.Title, y.Info.Title);
        EXPECT_EQ(x.Info.SetIndex, y.Info.SetIndex);
        EXPECT_EQ(x.Info.PreviousIndex, y.Info.PreviousIndex);
        EXPECT_EQ(x.Info.PreviousBaseURL, y.Info.PreviousBaseURL);
        EXPECT_EQ(x.Info.PreviousInfo, y.Info.PreviousInfo);
        EXPECT_EQ(x.Open.Zoom, y.Open.Zoom);
        EXPECT_EQ(x.Open.Page, y.Open.Page);
        EXPECT_EQ(x.Open.Previous, y.Open.Previous);
        EXPECT_EQ(x.Security.ChangeSecurity, y.Security.ChangeSecurity);
        EXPECT_EQ(x.Security.RemoveSecurity, y.Security.RemoveSecurity);
        EXPECT_EQ(x.Security.Permissions, y.Security.Permissions);
        EXPECT_EQ(x.Security.CurrentPassword, y.Security.CurrentPassword);
        EXPECT_EQ(x.SkippedPages, y.SkippedPages);
        EXPECT_EQ(x.Fingerprint, y.Fingerprint);
        EXPECT_EQ(x.Before, y.Before);
    }
}

TEST(UndoJournal, RecordsComeBackExactly) {
    const std::vector<JournalRecord> records = {SampleRecord(), JournalRecord{}, SampleRecord()};
    const std::vector<JournalRecord> back = ParseJournal(FormatJournal(records));
    ASSERT_EQ(back.size(), 3u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        ExpectSameRecord(records[i], back[i]);
    }
}

TEST(UndoJournal, AJournalOfTheFirstVersionIsStillRead) {
    // As tesser wrote it before the information dictionary's entries were kept.
    const std::string v1 = "tesser-undo-journal 1 1\n"
                           "record pw 0 0 1\n"
                           "entry 0 /tmp/a.pdf\n"
                           "info 1 0 0 0 0 0 Old - - - - - 0 0\n"
                           "open 0 0 0 0 2 2 2 2 2 2 0\n"
                           "security - - - 0 60 0\n"
                           "end\n";
    const std::vector<JournalRecord> back = ParseJournal(v1);
    ASSERT_EQ(back.size(), 1u);
    ASSERT_EQ(back[0].Record.Entries.size(), 1u);
    const ui::UndoEntry& e = back[0].Record.Entries[0];
    EXPECT_EQ(e.Name, "/tmp/a.pdf");
    EXPECT_TRUE(e.Info.SetTitle);
    EXPECT_EQ(e.Info.Title, "Old");
    EXPECT_FALSE(e.Info.PreviousInfo.has_value());
    EXPECT_EQ(back[0].Record.ReopenPassword, "pw");
    EXPECT_THROW(ParseJournal("tesser-undo-journal 6 0\nend\n"), JournalVersionError);
}

TEST(UndoJournal, AJournalOfTheSecondVersionReadsAsNothingSkippedAndNoFingerprint) {
    const std::string v2 = "tesser-undo-journal 2 1\n"
                           "record own 1 0 1\n"
                           "entry 0 /tmp/a.pdf\n"
                           "info 0 0 0 0 0 0 - - - - - - 0 0 0\n"
                           "open 0 0 0 0 2 2 2 2 2 2 0\n"
                           "security - - - 0 60 0\n"
                           "kept 0\n"
                           "end\n";
    const std::vector<JournalRecord> back = ParseJournal(v2);
    ASSERT_EQ(back.size(), 1u);
    ASSERT_EQ(back[0].Record.Entries.size(), 1u);
    EXPECT_TRUE(back[0].Record.Entries[0].SkippedPages.empty());
    EXPECT_TRUE(back[0].Record.Entries[0].Fingerprint.Empty());
    EXPECT_EQ(back[0].Record.ReopenPassword, "own");
    EXPECT_TRUE(back[0].Record.ChangedSecurity);
    // Written again, it is a journal of this version that says the same.
    const std::string again = FormatJournal(back);
    EXPECT_EQ(again.rfind("tesser%2Dundo%2Djournal 5 1\n", 0), 0u) << again;
    EXPECT_FALSE(back[0].Record.Incremental);
    EXPECT_NE(again.find("\nskipped 0\nfingerprint 0 0 0 0\n"), std::string::npos) << again;
}

TEST(UndoJournal, AMarkerWithoutItsKeptSecurityBecomesTheLostMarker) {
    // A first-version journal: the marker's number meant something only to the host that wrote
    // it. In a later host the same number may stand for another file's encryption.
    test::TempDir dir;
    const auto folder = dir / "tesser";
    std::filesystem::create_directories(folder);
    test::WriteFile(folder / "journal", "tesser-undo-journal 1 1\n"
                                        "record own 1 0 1\n"
                                        "entry 0 /tmp/a.pdf\n"
                                        "info 0 0 0 0 0 0 - - - - - - 0 0\n"
                                        "open 0 0 0 0 2 2 2 2 2 2 0\n"
                                        "security own %1BTesserKeptSecurity:1 own 1 60 0\n"
                                        "end\n");
    Journal journal(folder);
    std::vector<JournalRecord> records = LoadAll(journal);
    ASSERT_EQ(records.size(), 1u);
    const docsettings::SecuritySettings& s = records[0].Record.Entries.at(0).Security;
    EXPECT_EQ(s.OpenPassword, host::LostKeptMarker());
    EXPECT_EQ(s.OwnerPassword, "own");
    EXPECT_NE(host::ParseKeptMarker(s.OpenPassword), 0);
    // Saving it again needs no host: there is nothing to export.
    journal.Save(records);
    EXPECT_EQ(LoadAll(journal)[0].Record.Entries.at(0).Security.OpenPassword,
              host::LostKeptMarker());
}

TEST(UndoJournal, DamagedTextIsRefused) {
    const std::string text = FormatJournal({SampleRecord()});
    EXPECT_THROW(ParseJournal(text.substr(0, text.size() / 2)), JournalError);
    EXPECT_THROW(ParseJournal("something else"), JournalError);
    EXPECT_THROW(ParseJournal(text + " extra"), JournalError);
    std::string badEscape = text;
    badEscape.replace(badEscape.find("own"), 3, "%Z1");
    EXPECT_THROW(ParseJournal(badEscape), JournalError);
    std::string badPage = text;
    const std::string skipped = "skipped 2 0 3 2 7 2147483647\n";
    ASSERT_NE(badPage.find(skipped), std::string::npos) << badPage;
    badPage.replace(badPage.find(skipped), skipped.size(), "skipped 2 0 3 0 7 2147483647\n");
    EXPECT_THROW(ParseJournal(badPage), JournalError);
}

TEST(UndoJournal, FileAndFolderArePrivateAndTheFileIsReplacedWhole) {
    test::TempDir dir;
    const auto folder = dir / "state/tesser";
    {
        Journal journal(folder);
        EXPECT_TRUE(LoadAll(journal).empty());
        journal.Save({SampleRecord()});
        journal.Save({SampleRecord(), SampleRecord()});
        EXPECT_EQ(LoadAll(journal).size(), 2u);
    }
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((folder / "journal").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    test::WriteFile(folder / "journal", "damaged");
    Journal journal(folder);
    std::vector<std::string> refused;
    EXPECT_THROW(journal.Load(refused), JournalError);
}

// A sample record whose one entry's settings are changed by edit; Id id.
JournalRecord RecordWith(std::int64_t id, const std::function<void(JournalRecord&)>& edit) {
    JournalRecord record = SampleRecord();
    record.Id = id;
    edit(record);
    return record;
}

TEST(UndoJournal, AValueThatDoesNotFitRefusesItsEntryAndTheRestIsRead) {
    // The writer writes what it is given; the reader checks each value against its field.
    const std::vector<JournalRecord> written = {
        RecordWith(1, [](JournalRecord& r) { r.Record.Entries[0].Open.Zoom = 99; }),
        RecordWith(
            2,
            [](JournalRecord& r) { r.Record.Tesserions[1].Units = static_cast<model::Units>(7); }),
        RecordWith(3, [](JournalRecord& r) { r.Record.Tesserions[0].FontSize = 5000; }),
        RecordWith(4, [](JournalRecord& r) { r.Record.Entries[1].Info.SetAuthor = true; }),
        RecordWith(5,
                   [](JournalRecord& r) {
                       r.Record.Entries[0].Open.View = 5;
                       r.Record.Entries[1].Security.Permissions = 3;
                   }),
    };
    std::string text = FormatJournal(written);
    // A number too large for its field: the last skipped page of run 4's first entry.
    const std::string skipped = "skipped 2 0 3 2 7 2147483647\n";
    std::size_t at = 0;
    for (int n = 0; n < 4; ++n) {
        at = text.find(skipped, n == 0 ? 0 : at + 1);
        ASSERT_NE(at, std::string::npos);
    }
    text.replace(at, skipped.size(), "skipped 2 0 3 2 7 2147483648\n");

    std::vector<std::string> refused;
    const std::vector<JournalRecord> back = ParseJournal(text, &refused);
    ASSERT_EQ(back.size(), 3u) << "runs 2 and 3 are refused whole";
    EXPECT_EQ(back[0].Id, 1);
    ASSERT_EQ(back[0].Record.Entries.size(), 1u);
    EXPECT_TRUE(back[0].Record.Entries[0] == written[0].Record.Entries[1]);
    EXPECT_EQ(back[1].Id, 4);
    ASSERT_EQ(back[1].Record.Entries.size(), 1u);
    EXPECT_TRUE(back[1].Record.Entries[0] == written[3].Record.Entries[1]);
    EXPECT_EQ(back[2].Id, 5);
    ASSERT_EQ(back[2].Record.Entries.size(), 1u) << "the permissions 3 fit their field";
    EXPECT_EQ(back[2].Record.Entries[0].Security.Permissions, 3u);

    ASSERT_EQ(refused.size(), 5u);
    EXPECT_NE(refused[0].find("run 1, file /tmp/some folder/a file.pdf: the zoom is \"99\""),
              std::string::npos)
        << refused[0];
    EXPECT_NE(refused[1].find("run 2: its Tesserion \"\": the units is \"7\""), std::string::npos)
        << refused[1];
    EXPECT_NE(refused[2].find("run 3: its Tesserion \"Logo [1]\": the font size is invalid"),
              std::string::npos)
        << refused[2];
    EXPECT_NE(refused[3].find("run 4, file /tmp/some folder/a file.pdf: a skipped page is "
                              "\"2147483648\""),
              std::string::npos)
        << refused[3];
    EXPECT_NE(refused[4].find("run 5, file /tmp/some folder/a file.pdf: the view is \"5\""),
              std::string::npos)
        << refused[4];
    // Without a list to tell refusals in, the journal is not read.
    EXPECT_THROW(ParseJournal(text), JournalError);

    // Through the journal file: the refusals name it; what is left is saved back and reads clean.
    test::TempDir dir;
    std::filesystem::create_directories(dir / "tesser");
    test::WriteFile(dir / "tesser/journal", text);
    Journal journal(dir / "tesser");
    std::string notice;
    const std::vector<JournalRecord> loaded = journal.LoadOrSetAside(notice);
    EXPECT_EQ(loaded.size(), 3u);
    const std::string path = (dir / "tesser/journal").string();
    EXPECT_EQ(notice.find(path + ": run 1, file"), 0u) << notice;
    EXPECT_NE(notice.find("\n" + path + ": run 4, file"), std::string::npos) << notice;
    journal.Save(loaded);
    EXPECT_EQ(LoadAll(journal), loaded);
}

TEST(UndoJournal, TheHistoryKeepsTheNewestRuns) {
    test::TempDir dir;
    Journal journal(dir / "tesser");
    std::vector<JournalRecord> records;
    for (std::int64_t id = 1; id <= static_cast<std::int64_t>(kJournalRuns) + 3; ++id) {
        records.push_back(RecordWith(id, [](JournalRecord&) {}));
    }
    EXPECT_TRUE(journal.Save({records.begin(), records.begin() + kJournalRuns}).empty());
    EXPECT_EQ(LoadAll(journal).size(), kJournalRuns);
    EXPECT_EQ(journal.Save(records), (std::vector<std::int64_t>{1, 2, 3}));
    const std::vector<JournalRecord> kept = LoadAll(journal);
    ASSERT_EQ(kept.size(), kJournalRuns);
    EXPECT_EQ(kept.front().Id, 4);
    EXPECT_EQ(kept.back().Id, static_cast<std::int64_t>(kJournalRuns) + 3);
    // The older runs, and the passwords they hold, are gone from the file.
    const std::string text = test::ReadFile(dir / "tesser/journal");
    std::size_t lines = 0;
    for (std::size_t at = text.find("\nrecord "); at != std::string::npos;
         at = text.find("\nrecord ", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, kJournalRuns);
}

TEST(UndoJournal, FolderFollowsXdgStateHome) {
    ::setenv("XDG_STATE_HOME", "/var/tmp/state", 1);
    EXPECT_EQ(DefaultJournalFolder(), std::filesystem::path("/var/tmp/state/tesser"));
    ::setenv("XDG_STATE_HOME", "relative", 1);
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DefaultJournalFolder(), std::filesystem::path("/home/u/.local/state/tesser"));
    ::unsetenv("XDG_STATE_HOME");
}

} // namespace
} // namespace tesser::cli
