// The tesser command line end to end: the built binary run on generated PDF files, its results
// read back with qpdf and poppler-utils.
#include "PdfFixtures.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace tesser::test {
namespace {

namespace fs = std::filesystem;

const char* const kProfile = "[Tesserion_Foot]\r\n"
                             "Text=Page <PageNumber> of <PageCount>\r\n"
                             "PosX=72.000000\r\n"
                             "PosY=36.000000\r\n"
                             "JustifyV=Bottom\r\n"
                             "\r\n"
                             "[Tesserion_Draft]\r\n"
                             "Text=DRAFT COPY\r\n"
                             "PosX=72.000000\r\n"
                             "PosY=72.000000\r\n"
                             "FontSize=20.000000\r\n"
                             "ColorName=Red\r\n"
                             "ColorText=1.00,0.00,0.00\r\n"
                             "Layer=Background\r\n"
                             "\r\n"
                             "[Tesserion_Bad]\r\n"
                             "Text=x\r\n"
                             "PagesAll=FALSE\r\n"
                             "PagesRange=0\r\n"
                             "\r\n"
                             "[Tesserion_Outside]\r\n"
                             "Text=far out\r\n"
                             "PosX=-400.000000\r\n"
                             "PosY=36.000000\r\n"
                             "\r\n"
                             "[Tesserions]\r\n"
                             "Count=4\r\n"
                             "1=Bad\r\n"
                             "2=Draft\r\n"
                             "3=Foot\r\n"
                             "4=Outside\r\n";

class TesserCli : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir_ / "Quorel.ini", kProfile);
        fs::create_directories(dir_ / "state");
    }

    // Runs tesser with the test's profile and journal folder; extra is appended as given.
    // shell: commands run before tesser in the same shell (limits, traps).
    CommandResult Tesser(const std::string& arguments, const std::string& input = "",
                         const std::string& shell = "") {
        std::string command = shell + "XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " +
                              Quote(TESSER_BINARY) + " -p " +
                              Quote((dir_ / "Quorel.ini").string()) + " " + arguments;
        if (!input.empty()) {
            command = "printf '%s' " + Quote(input) + " | " + command;
        } else {
            command += " < /dev/null";
        }
        return test::Run(command);
    }

    CommandResult Undo(const std::string& arguments = "") {
        return test::Run("XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " +
                         Quote(TESSER_BINARY) + " --undo " + arguments + " < /dev/null");
    }

    fs::path JournalPath() const { return dir_ / "state/tesser/journal"; }

    fs::path Pdf(const std::string& name, const PdfSpec& spec = {}) {
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        WritePdf(path, spec);
        return path;
    }

    TempDir dir_;
};

std::string Q(const fs::path& path) {
    return Quote(path.string());
}

// The text of a journal's records, from the first "record" line to the "end" line.
std::string RecordsText(const std::string& journal) {
    const auto first = journal.find("\nrecord ");
    const auto end = journal.rfind("end\n");
    if (first == std::string::npos || end == std::string::npos || end < first) {
        ADD_FAILURE() << "not a journal with records: " << journal;
        return "";
    }
    return journal.substr(first + 1, end - first - 1);
}

// The text without its "fingerprint" lines: an undo moves an older record's fingerprint of a
// file it restored on to the file's new bytes, and changes nothing else of it.
std::string WithoutFingerprints(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text.compare(start, 12, "fingerprint ") != 0) {
            out.append(text, start, end - start);
        }
        start = end;
    }
    return out;
}

PdfSpec Pages(int pages, const std::string& pageMode = "") {
    PdfSpec spec;
    spec.pages = pages;
    spec.pageMode = pageMode;
    return spec;
}

// ---------------------------------------------------------------------------------------------
// Apply and undo over a list and a folder

TEST_F(TesserCli, AppliesTesserionsAndSettingsToListAndFolderAndUndoRestoresThem) {
    std::vector<fs::path> files = {Pdf("list/a.pdf"), Pdf("list/b.pdf", Pages(5)),
                                   Pdf("list/c.pdf", Pages(1, "UseOutlines")),
                                   Pdf("docs/x.pdf", Pages(4)), Pdf("docs/Y.PDF")};
    const fs::path nested = Pdf("docs/sub/z.pdf");
    WriteFile(dir_ / "docs/notes.txt", "not a pdf");
    const std::string nestedBefore = ReadFile(nested);

    std::vector<DocumentView> before;
    for (const fs::path& file : files) {
        before.push_back(ViewDocument(file));
        ASSERT_TRUE(before.back().ok) << file;
    }

    const CommandResult run =
        Tesser("-t Foot -t Draft --title 'New title' --author 'Ann Author' --subject Subj "
               "--keywords 'k1 k2' --index /srv/index.pdx --base-url http://example.com/ "
               "--view bookmarks --zoom fit-width --layout facing --open-page 1 --fit-window "
               "--center-window=no --user-password usr --owner-password own --no-print --no-copy " +
               Q(dir_ / "list/a.pdf") + " " + Q(dir_ / "list/b.pdf") + " " +
               Q(dir_ / "list/c.pdf") + " " + Q(dir_ / "docs"));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find("[4/5] " + (dir_ / "docs/Y.PDF").string() + ": stamped, 3 pages\n"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("tesser: 5 processed, 0 failed, 0 skipped"), std::string::npos)
        << run.errors;
    EXPECT_EQ(run.errors.find("z.pdf"), std::string::npos) << "the subfolder was entered";
    EXPECT_EQ(ReadFile(nested), nestedBefore);
    EXPECT_EQ(ReadFile(dir_ / "docs/notes.txt"), "not a pdf");

    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        EXPECT_TRUE(QpdfCheckPasses(file, "own"));
        const std::string text = PdfText(file, "usr");
        EXPECT_NE(text.find("Page 1 of"), std::string::npos) << text;
        EXPECT_NE(text.find("DRAFT COPY"), std::string::npos) << text;
        const CommandResult info = test::Run("pdfinfo -upw usr " + Q(file));
        EXPECT_NE(info.output.find("New title"), std::string::npos) << info.output;
        EXPECT_NE(info.output.find("Ann Author"), std::string::npos) << info.output;
        const std::string encryption =
            test::Run("qpdf --show-encryption --password=own " + Q(file)).output;
        EXPECT_NE(encryption.find("R = 6"), std::string::npos) << encryption;
        EXPECT_NE(encryption.find("print low resolution: not allowed"), std::string::npos)
            << encryption;
        EXPECT_NE(encryption.find("extract for any purpose: not allowed"), std::string::npos)
            << encryption;
        EXPECT_NE(test::Run("qpdf --check " + Q(file)).exitCode, 0) << "opens without a password";
        const std::string catalogue = ViewDocument(file, "own").catalogue;
        EXPECT_NE(catalogue.find("/PageLayout /TwoColumnRight"), std::string::npos) << catalogue;
        EXPECT_NE(catalogue.find("/PageMode /UseOutlines"), std::string::npos) << catalogue;
        EXPECT_NE(catalogue.find("/FitH"), std::string::npos) << catalogue;
        EXPECT_NE(catalogue.find("/F (/srv/index.pdx)"), std::string::npos) << catalogue;
        EXPECT_NE(catalogue.find("/Base (http://example.com/)"), std::string::npos) << catalogue;
    }

    const CommandResult undo = Undo();
    ASSERT_EQ(undo.exitCode, 0) << undo.errors;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].string());
        EXPECT_TRUE(QpdfCheckPasses(files[i]));
        const DocumentView after = ViewDocument(files[i]);
        ASSERT_TRUE(after.ok);
        EXPECT_EQ(after.pageContents, before[i].pageContents);
        EXPECT_EQ(after.info, before[i].info);
        EXPECT_EQ(after.catalogue, before[i].catalogue);
        EXPECT_EQ(after.encryption, before[i].encryption);
    }

    const CommandResult again = Undo();
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.errors.find("nothing to undo"), std::string::npos) << again.errors;
}

TEST_F(TesserCli, TwoRunsAreUndoneNewestFirst) {
    const fs::path file = Pdf("a.pdf");
    const DocumentView original = ViewDocument(file);
    ASSERT_EQ(Tesser("-q -t Foot " + Q(file)).exitCode, 0);
    const DocumentView afterFirst = ViewDocument(file);
    ASSERT_EQ(Tesser("-q -t Draft --title Second " + Q(file)).exitCode, 0);
    ASSERT_NE(PdfText(file).find("DRAFT COPY"), std::string::npos);

    ASSERT_EQ(Undo("-q").exitCode, 0);
    EXPECT_EQ(PdfText(file).find("DRAFT COPY"), std::string::npos);
    EXPECT_EQ(ViewDocument(file).pageContents, afterFirst.pageContents);
    EXPECT_EQ(ViewDocument(file).info, original.info);

    ASSERT_EQ(Undo("-q").exitCode, 0);
    EXPECT_EQ(ViewDocument(file).pageContents, original.pageContents);
}

// The encryption dictionary of a file as qpdf shows it (its strings are not encrypted).
std::string EncryptDictionary(const fs::path& file, const std::string& password) {
    const std::string trailer =
        test::Run("qpdf --show-object=trailer --password=" + Quote(password) + " " + Q(file))
            .output;
    const auto at = trailer.find("/Encrypt ");
    if (at == std::string::npos) {
        ADD_FAILURE() << "no /Encrypt in " << trailer;
        return "";
    }
    const std::string number = trailer.substr(at + 9, trailer.find(' ', at + 9) - at - 9);
    return test::Run("qpdf --show-object=" + number + " --password=" + Quote(password) + " " +
                     Q(file))
        .output;
}

TEST_F(TesserCli, UndoInALaterRunPutsBackAes256WhoseUserPasswordWasNeverGiven) {
    const fs::path plain = Pdf("plain.pdf");
    const fs::path file = dir_ / "secured.pdf";
    const CommandResult encrypt =
        test::Run("qpdf --encrypt usr own 256 --print=none -- " + Q(plain) + " " + Q(file));
    ASSERT_EQ(encrypt.exitCode, 0) << encrypt.errors;
    const DocumentView before = ViewDocument(file, "own");
    const std::string encryptBefore = EncryptDictionary(file, "own");
    ASSERT_TRUE(before.ok);

    // Opened with the owner password alone: the user password cannot be read from the file.
    const CommandResult run = Tesser("-q -t Foot --title T --current-password own "
                                     "--user-password new-usr --owner-password new-own " +
                                     Q(file));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_TRUE(QpdfCheckPasses(file, "new-usr"));
    ASSERT_FALSE(QpdfCheckPasses(file, "usr"));
    const std::string journal = ReadFile(dir_ / "state/tesser/journal");
    EXPECT_NE(journal.find("kept 1"), std::string::npos) << journal;

    const CommandResult undo = Undo("-q");
    ASSERT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_TRUE(QpdfCheckPasses(file, "usr")) << "the user password no longer opens the file";
    EXPECT_TRUE(QpdfCheckPasses(file, "own"));
    EXPECT_FALSE(QpdfCheckPasses(file, "new-usr"));
    EXPECT_FALSE(QpdfCheckPasses(file));
    const DocumentView after = ViewDocument(file, "own");
    EXPECT_EQ(after.encryption, before.encryption);
    EXPECT_EQ(after.pageContents, before.pageContents);
    EXPECT_EQ(after.info, before.info);
    EXPECT_EQ(after.catalogue, before.catalogue);
    EXPECT_EQ(EncryptDictionary(file, "own"), encryptBefore);
    const std::string shown = test::Run("qpdf --show-encryption --password=usr " + Q(file)).output;
    EXPECT_NE(shown.find("Supplied password is user password"), std::string::npos) << shown;
}

TEST_F(TesserCli, ADamagedKeptSecurityInTheJournalIsRefusedAndTheFileLeftAlone) {
    const fs::path plain = Pdf("plain.pdf");
    const fs::path file = dir_ / "secured.pdf";
    ASSERT_EQ(test::Run("qpdf --encrypt usr own 256 -- " + Q(plain) + " " + Q(file)).exitCode, 0);
    ASSERT_EQ(
        Tesser("-q -t Foot --current-password own --owner-password new-own " + Q(file)).exitCode,
        0);
    const fs::path journalPath = dir_ / "state/tesser/journal";
    std::string journal = ReadFile(journalPath);
    const auto at = journal.find("TesserKeptSecurity%201");
    ASSERT_NE(at, std::string::npos) << journal;
    journal.replace(at, 18, "SomethingElseEntir");
    WriteFile(journalPath, journal);
    const std::string fileBefore = ReadFile(file);

    const CommandResult undo = Undo("-q");
    EXPECT_NE(undo.exitCode, 0);
    EXPECT_NE(undo.errors.find("kept for undo cannot be used"), std::string::npos) << undo.errors;
    EXPECT_EQ(ReadFile(file), fileBefore);
}

TEST_F(TesserCli, StampingOnlyLeavesTheOpenActionAndCatalogueAlone) {
    const fs::path file = Pdf("a.pdf", Pages(3, "UseThumbs"));
    const DocumentView before = ViewDocument(file);
    ASSERT_EQ(Tesser("-q --no-optimise -t Foot " + Q(file)).exitCode, 0);
    const DocumentView after = ViewDocument(file);
    EXPECT_EQ(after.catalogue, before.catalogue);
    EXPECT_EQ(after.info, before.info);
    EXPECT_NE(after.pageContents, before.pageContents);
}

TEST_F(TesserCli, OutputDirKeepsOriginalsAndUndoRestoresTheCopies) {
    const fs::path a = Pdf("in/a.pdf");
    const fs::path b = Pdf("in/b.pdf");
    const std::string aBefore = ReadFile(a);
    const std::string bBefore = ReadFile(b);
    const CommandResult run = Tesser("-q -t Foot -o " + Q(dir_ / "out") + " " + Q(dir_ / "in"));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(ReadFile(a), aBefore);
    EXPECT_EQ(ReadFile(b), bBefore);
    EXPECT_TRUE(QpdfCheckPasses(dir_ / "out/a.pdf"));
    EXPECT_NE(PdfText(dir_ / "out/b.pdf").find("Page 3 of 3"), std::string::npos);

    ASSERT_EQ(Undo("-q").exitCode, 0);
    EXPECT_EQ(ViewDocument(dir_ / "out/a.pdf").pageContents, ViewDocument(a).pageContents);
    EXPECT_EQ(ReadFile(a), aBefore);
}

// A file whose encryption dictionary is damaged opens, but QPDF would write it with a key that
// no reader derives: the save's read-back finds its pages unreadable, the run fails and the file
// stays as it was.
TEST_F(TesserCli, AFileWrittenWithAKeyReadersDoNotDeriveIsRefusedAndKept) {
    const fs::path file = dir_ / "bad-length.pdf";
    fs::copy_file(TESSER_SOURCE_DIR "/tests/data/bad-encryption-length.pdf", file);
    const std::string before = ReadFile(file);
    ASSERT_TRUE(QpdfCheckPasses(file));
    const CommandResult run = Tesser("--no-optimise -t Foot " + Q(file));
    EXPECT_EQ(run.exitCode, 1) << run.output << run.errors;
    EXPECT_NE((run.output + run.errors).find("the pages of the written file"), std::string::npos)
        << run.output << run.errors;
    EXPECT_NE((run.output + run.errors).find("0 processed, 1 failed"), std::string::npos)
        << run.output << run.errors;
    EXPECT_EQ(ReadFile(file), before);
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tesser-save-"), std::string::npos);
    }
}

TEST_F(TesserCli, OutputDirRefusesTwoSourcesWithTheSameName) {
    Pdf("one/a.pdf");
    Pdf("two/a.pdf");
    const CommandResult run = Tesser("-t Foot -o " + Q(dir_ / "out") + " " + Q(dir_ / "one") + " " +
                                     Q(dir_ / "two/a.pdf"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.errors.find("would be written to"), std::string::npos) << run.errors;
    EXPECT_FALSE(fs::exists(dir_ / "out/a.pdf"));
}

TEST_F(TesserCli, JournalIsReadableByItsOwnerOnly) {
    const fs::path file = Pdf("a.pdf");
    ASSERT_EQ(Tesser("-q -t Foot --owner-password secret " + Q(file)).exitCode, 0);
    struct stat folder {};
    struct stat journal {};
    ASSERT_EQ(::stat((dir_ / "state/tesser").c_str(), &folder), 0);
    ASSERT_EQ(::stat((dir_ / "state/tesser/journal").c_str(), &journal), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(journal.st_mode & 0777, 0600u);
}

TEST_F(TesserCli, AFailedUndoKeepsItsRecordAndLeavesOlderRecordsAlone) {
    const fs::path a = Pdf("a.pdf");
    const fs::path b = Pdf("b.pdf");
    const DocumentView originalA = ViewDocument(a);
    ASSERT_EQ(Tesser("-q -t Foot " + Q(a) + " " + Q(b)).exitCode, 0);
    const std::string olderRecord = RecordsText(ReadFile(JournalPath()));
    const DocumentView footA = ViewDocument(a);
    const DocumentView footB = ViewDocument(b);
    ASSERT_EQ(Tesser("-q -t Draft " + Q(b) + " " + Q(a)).exitCode, 0);

    // b cannot be opened: the undo stops there (no terminal, no --yes), before a.
    fs::rename(b, dir_ / "b.away");
    const CommandResult failed = Undo();
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.errors.find(b.string() + ": failed: "), std::string::npos) << failed.errors;
    const std::string journal = ReadFile(JournalPath());
    EXPECT_EQ(journal.rfind("tesser%2Dundo%2Djournal 5 2\n", 0), 0u) << journal;
    EXPECT_EQ(RecordsText(journal).rfind(olderRecord, 0), 0u) << "the older record changed:\n"
                                                              << journal;
    EXPECT_EQ(Occurrences(journal, "/b.pdf\n"), 2) << journal;

    // With b back, the same undo finishes the job, and the older run can still be undone.
    fs::rename(dir_ / "b.away", b);
    const CommandResult again = Undo("-q");
    ASSERT_EQ(again.exitCode, 0) << again.errors;
    EXPECT_EQ(ViewDocument(a).pageContents, footA.pageContents);
    EXPECT_EQ(ViewDocument(b).pageContents, footB.pageContents);
    ASSERT_EQ(Undo("-q").exitCode, 0);
    EXPECT_EQ(ViewDocument(a).pageContents, originalA.pageContents);
    EXPECT_EQ(Undo().exitCode, 1) << "an undo record was left over";
}

TEST_F(TesserCli, AnUndoThatGoesOnAfterAFailureKeepsTheFileThatFailed) {
    const fs::path a = Pdf("a.pdf");
    const fs::path b = Pdf("b.pdf");
    ASSERT_EQ(Tesser("-q -t Foot " + Q(a) + " " + Q(b)).exitCode, 0);
    const std::string olderRecord = RecordsText(ReadFile(JournalPath()));
    const DocumentView footB = ViewDocument(b);
    ASSERT_EQ(Tesser("-q -t Draft " + Q(b) + " " + Q(a)).exitCode, 0);

    fs::rename(b, dir_ / "b.away");
    const CommandResult failed = Undo("--yes");
    EXPECT_EQ(failed.exitCode, 1) << failed.errors;
    EXPECT_EQ(PdfText(a).find("DRAFT COPY"), std::string::npos) << "a was not restored";
    const std::string journal = ReadFile(JournalPath());
    EXPECT_EQ(journal.rfind("tesser%2Dundo%2Djournal 5 2\n", 0), 0u) << journal;
    EXPECT_EQ(WithoutFingerprints(RecordsText(journal)).rfind(WithoutFingerprints(olderRecord), 0),
              0u)
        << journal;
    EXPECT_EQ(Occurrences(journal, "/b.pdf\n"), 2) << journal;

    fs::rename(dir_ / "b.away", b);
    Undo("--yes -q");
    EXPECT_EQ(PdfText(b).find("DRAFT COPY"), std::string::npos);
    EXPECT_EQ(ViewDocument(b).pageContents, footB.pageContents);
}

TEST_F(TesserCli, AJournalEntryWithAValueOutOfRangeIsRefusedAndTheOtherRunsUndone) {
    const fs::path a = Pdf("a.pdf");
    const fs::path b = Pdf("b.pdf");
    ASSERT_EQ(Tesser("-q -t Foot --zoom fit-page " + Q(a)).exitCode, 0);
    ASSERT_EQ(Tesser("-q -t Draft " + Q(b)).exitCode, 0);
    // The first run's entry: "open PAGE VIEW ZOOM ...", the zoom the file had before.
    std::string journal = ReadFile(JournalPath());
    const std::size_t open = journal.find("\nopen ");
    ASSERT_NE(open, std::string::npos) << journal;
    std::size_t zoom = open + 1;
    for (int token = 0; token < 3; ++token) {
        zoom = journal.find(' ', zoom) + 1;
    }
    journal.replace(zoom, journal.find(' ', zoom) - zoom, "99");
    WriteFile(JournalPath(), journal);

    const CommandResult history = Tesser("--history");
    EXPECT_EQ(history.exitCode, 0);
    EXPECT_NE(history.errors.find("tesser: undo journal: " + JournalPath().string() +
                                  ": run 1, file " + a.string() + ": the zoom is \"99\""),
              std::string::npos)
        << history.errors;
    // Run 2 alone: no line starts with run 1's number.
    EXPECT_EQ(history.output.rfind("2  ", 0), 0u) << history.output;
    EXPECT_EQ(history.output.find("\n1  "), std::string::npos) << history.output;

    const CommandResult undo = Undo("-q");
    EXPECT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_EQ(PdfText(b).find("DRAFT COPY"), std::string::npos);
    EXPECT_NE(PdfText(a).find("Page 1 of 3"), std::string::npos) << "its entry was refused";
    EXPECT_EQ(Undo("-q").exitCode, 1) << "the refused run is gone with the journal's next save";
}

TEST_F(TesserCli, ADamagedJournalIsMovedAsideAndANewOneStarted) {
    const fs::path a = Pdf("a.pdf");
    ASSERT_EQ(Tesser("-q -t Foot " + Q(a)).exitCode, 0);
    const std::string whole = ReadFile(JournalPath());
    ASSERT_EQ(Undo("-q").exitCode, 0);
    const DocumentView original = ViewDocument(a);
    // A journal is read in a process that may not hold gigabytes for items that are not there.
#if defined(__SANITIZE_ADDRESS__)
    const std::string limit;
#else
    const std::string limit = "ulimit -v 2000000; ";
#endif
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"empty", ""},
        {"cut short", whole.substr(0, whole.size() / 2)},
        // Version 2, which is still read.
        {"a huge count of records", "tesser-undo-journal 2 99999999\nrecord - 0 0 0\nkept 0\n"},
        {"a huge count of entries", "tesser-undo-journal 2 1\nrecord - 0 0 99999999\nend\n"},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        WriteFile(JournalPath(), bytes);
        const CommandResult run = Tesser("-t Draft " + Q(a), "", limit);
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        const std::string said = "it was moved aside to ";
        const auto at = run.errors.find(said);
        ASSERT_NE(at, std::string::npos) << run.errors;
        const auto end = run.errors.find(" and a new journal", at);
        ASSERT_NE(end, std::string::npos) << run.errors;
        const fs::path aside = run.errors.substr(at + said.size(), end - at - said.size());
        EXPECT_EQ(aside.parent_path(), JournalPath().parent_path());
        EXPECT_EQ(aside.filename().string().rfind("journal.damaged-", 0), 0u) << aside;
        EXPECT_EQ(ReadFile(aside), bytes);
        fs::remove(aside);
        EXPECT_EQ(ReadFile(JournalPath()).rfind("tesser%2Dundo%2Djournal 5 1\n", 0), 0u);
        ASSERT_NE(PdfText(a).find("DRAFT COPY"), std::string::npos);
        const CommandResult undo = Undo("-q");
        ASSERT_EQ(undo.exitCode, 0) << undo.errors;
        EXPECT_EQ(ViewDocument(a).pageContents, original.pageContents);
    }
}

TEST_F(TesserCli, AJournalThatCannotBeWrittenStopsTheRunBeforeAnyFileIsTouched) {
    // Many files with long names make the journal larger than any one file; a file size limit
    // between the two stands in for a disk too full for the journal (writes fail with EFBIG).
    std::vector<std::pair<fs::path, std::string>> files;
    const std::string longName(120, 'n');
    for (int i = 0; i < 60; ++i) {
        const fs::path file = Pdf("many/f" + std::to_string(100 + i) + longName + ".pdf", Pages(1));
        files.emplace_back(file, ReadFile(file));
    }
    constexpr std::uintmax_t kLimit = 24 * 512;
    const std::string full = "trap '' XFSZ; ulimit -f 24; ";
    const CommandResult run = Tesser("-t Foot " + Q(dir_ / "many"), "", full);
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_NE(run.errors.find("undo journal: cannot be written in"), std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("no document was touched"), std::string::npos) << run.errors;
    for (const auto& [file, before] : files) {
        EXPECT_EQ(ReadFile(file), before) << file;
    }
    EXPECT_FALSE(fs::exists(JournalPath())) << "an empty journal was left behind";
    for (const auto& item : fs::directory_iterator(JournalPath().parent_path())) {
        EXPECT_EQ(item.path().filename(), "journal.lock") << "left behind: " << item.path();
    }

    // Without the limit the same run works; its journal is larger than the limit, every file
    // smaller.
    const CommandResult fits = Tesser("-q -t Foot " + Q(dir_ / "many"));
    ASSERT_EQ(fits.exitCode, 0) << fits.errors;
    EXPECT_GT(fs::file_size(JournalPath()), kLimit);
    for (const auto& [file, before] : files) {
        EXPECT_LT(fs::file_size(file), kLimit) << file;
        EXPECT_NE(PdfText(file).find("Page 1 of 1"), std::string::npos) << file;
    }

    // A journal that is there already stays whole, and the file untouched, when the next run
    // could not write it.
    const std::string journal = ReadFile(JournalPath());
    const CommandResult next = Tesser("-t Draft " + Q(files[0].first), "", full);
    EXPECT_EQ(next.exitCode, 1) << next.errors;
    EXPECT_EQ(ReadFile(JournalPath()), journal);
    EXPECT_EQ(PdfText(files[0].first).find("DRAFT COPY"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// The same file named twice, and outputs that are inputs

TEST_F(TesserCli, ALongDocumentShowsItsPagesAdvancingOnATerminalOnly) {
    const fs::path big = Pdf("big.pdf", Pages(400));
    const std::string command = "XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " +
                                Quote(TESSER_BINARY) + " -p " +
                                Quote((dir_ / "Quorel.ini").string()) + " -t Foot " + Q(big);
    // script(1) gives the run a terminal.
    const CommandResult onTerminal =
        test::Run("script -qec " + Quote(command) + " /dev/null < /dev/null");
    EXPECT_EQ(onTerminal.exitCode, 0) << onTerminal.output << onTerminal.errors;
    EXPECT_NE(onTerminal.output.find(big.string() + ": page 400 of 400"), std::string::npos)
        << onTerminal.output;
    EXPECT_NE(onTerminal.output.find("[1/1] " + big.string() + ": stamped, 400 pages"),
              std::string::npos)
        << onTerminal.output;
    // Redirected to a file or a pipe, the output has no page lines.
    const CommandResult piped = Tesser("-t Draft " + Q(big));
    EXPECT_EQ(piped.exitCode, 0) << piped.errors;
    EXPECT_EQ(piped.errors.find(": page "), std::string::npos) << piped.errors;
    EXPECT_NE(piped.errors.find("[1/1] " + big.string() + ": stamped, 400 pages\n"),
              std::string::npos)
        << piped.errors;
}

TEST_F(TesserCli, AFileNamedAgainThroughItsFolderOrALinkIsProcessedOnce) {
    const fs::path a = Pdf("docs/a.pdf");
    const fs::path b = Pdf("docs/b.pdf");
    const DocumentView originalA = ViewDocument(a);
    fs::create_symlink(a, dir_ / "link.pdf");
    fs::create_symlink(dir_ / "docs", dir_ / "alias");
    const CommandResult run =
        Tesser("-t Draft " + Q(a) + " " + Q(dir_ / "docs") + " " + Q(dir_ / "link.pdf") + " " +
               Q(dir_ / "alias/b.pdf") + " " + Q(dir_ / "alias"));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(Occurrences(run.errors, ": stamped, 3 pages\n"), 2) << run.errors;
    EXPECT_NE(run.errors.find("[1/2] " + a.string() + ": stamped, 3 pages\n"), std::string::npos);
    EXPECT_NE(run.errors.find("[2/2] " + b.string() + ": stamped, 3 pages\n"), std::string::npos)
        << "the first naming of b is its folder's";
    for (const fs::path& file : {a, b}) {
        EXPECT_TRUE(QpdfCheckPasses(file));
        EXPECT_EQ(Occurrences(PdfText(file), "DRAFT COPY"), 3) << file;
    }
    EXPECT_EQ(Occurrences(ReadFile(JournalPath()), "\nentry "), 2);
    ASSERT_EQ(Undo("-q").exitCode, 0);
    EXPECT_EQ(ViewDocument(a).pageContents, originalA.pageContents);
}

TEST_F(TesserCli, AnOutputThatWouldReplaceAnInputIsRefusedBeforeAnythingIsTouched) {
    const fs::path a = Pdf("docs/a.pdf");
    const fs::path b = Pdf("docs/b.pdf");
    const std::string aBefore = ReadFile(a);
    const std::string bBefore = ReadFile(b);
    fs::create_symlink(dir_ / "docs", dir_ / "alias");
    fs::create_symlink(a, dir_ / "link.pdf");
    fs::create_directories(dir_ / "prints");

    struct Case {
        std::string arguments;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"-t Foot -o " + Q(dir_ / "alias") + " " + Q(a), "is the folder of the input"},
        {"-t Foot -o " + Q(dir_ / "prints/../docs") + " " + Q(dir_ / "docs"),
         "is the folder of the input"},
        {"--print -t Foot --print-to-file " + Q(dir_ / "link.pdf") + " " + Q(a),
         "is the input " + a.string()},
        {"--print -t Foot --print-to-file " + Q(b) + " " + Q(b), "is the input " + b.string()},
        {"--print -t Foot --print-to-file " + Q(dir_ / "alias") + " " + Q(dir_ / "prints") + " " +
             Q(dir_ / "docs"),
         "is the folder of the input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CommandResult run = Tesser(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << run.errors;
        EXPECT_NE(run.errors.find(c.said), std::string::npos) << run.errors;
        EXPECT_EQ(ReadFile(a), aBefore);
        EXPECT_EQ(ReadFile(b), bBefore);
    }
    EXPECT_FALSE(fs::exists(JournalPath()));
    EXPECT_TRUE(fs::is_empty(dir_ / "prints"));

    // A folder beside the inputs is fine.
    const CommandResult beside = Tesser("-q -t Foot -o " + Q(dir_ / "prints") + " " + Q(a));
    ASSERT_EQ(beside.exitCode, 0) << beside.errors;
    EXPECT_NE(PdfText(dir_ / "prints/a.pdf").find("Page 1 of 3"), std::string::npos);
    EXPECT_EQ(ReadFile(a), aBefore);
}

// ---------------------------------------------------------------------------------------------
// Failures in the middle of a list

TEST_F(TesserCli, FailedFilesAreReportedAndLeftAsTheyWereWhileTheOthersAreProcessed) {
    const fs::path first = Pdf("first.pdf");
    const fs::path damaged = dir_ / "damaged.pdf";
    WriteFile(damaged, "%PDF-1.4\nthis is not a PDF body at all\n");
    const fs::path plain = Pdf("plain.pdf");
    const fs::path locked = dir_ / "locked.pdf";
    ASSERT_EQ(test::Run("qpdf --encrypt user owner 256 -- " + Q(plain) + " " + Q(locked)).exitCode,
              0);
    const fs::path frozen = Pdf("frozen.pdf");
    const bool canFreeze = test::Run("chattr +i " + Q(frozen)).exitCode == 0;
    const fs::path last = Pdf("last.pdf");
    const std::string damagedBefore = ReadFile(damaged);
    const std::string lockedBefore = ReadFile(locked);
    const std::string frozenBefore = ReadFile(frozen);

    const CommandResult run =
        Tesser("--yes -t Foot --current-password wrong " + Q(first) + " " + Q(damaged) + " " +
               Q(locked) + " " + Q(frozen) + " " + Q(last));
    if (canFreeze) {
        test::Run("chattr -i " + Q(frozen));
    }
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    for (const fs::path& failed : {damaged, locked}) {
        EXPECT_NE(run.errors.find("] " + failed.string() + ": failed: "), std::string::npos)
            << run.errors;
    }
    EXPECT_NE(run.errors.find("password"), std::string::npos) << run.errors;
    EXPECT_EQ(ReadFile(damaged), damagedBefore);
    EXPECT_EQ(ReadFile(locked), lockedBefore);
    if (canFreeze) {
        EXPECT_NE(run.errors.find("] " + frozen.string() + ": failed: "), std::string::npos)
            << run.errors;
        EXPECT_EQ(ReadFile(frozen), frozenBefore);
        EXPECT_NE(run.errors.find("3 failed"), std::string::npos) << run.errors;
    }
    for (const fs::path& good : {first, last}) {
        EXPECT_TRUE(QpdfCheckPasses(good));
        EXPECT_NE(PdfText(good).find("Page 3 of 3"), std::string::npos) << good;
    }
    // Only the files that were saved can be undone.
    const CommandResult undo = Undo();
    EXPECT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_EQ(undo.errors.find("damaged.pdf"), std::string::npos) << undo.errors;
    EXPECT_EQ(PdfText(first).find("Page 3 of 3"), std::string::npos);
    if (!canFreeze) {
        GTEST_SKIP() << "chattr +i is not available here: the unwritable file was not tried";
    }
}

TEST_F(TesserCli, WithoutATerminalTheFirstErrorStopsTheRun) {
    const fs::path first = Pdf("1.pdf");
    const fs::path damaged = dir_ / "2.pdf";
    WriteFile(damaged, "garbage");
    const fs::path third = Pdf("3.pdf");
    const std::string thirdBefore = ReadFile(third);
    const CommandResult run = Tesser("-t Foot " + Q(first) + " " + Q(damaged) + " " + Q(third));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("[2/3] " + damaged.string() + ": failed: "), std::string::npos)
        << run.errors;
    EXPECT_EQ(ReadFile(third), thirdBefore);
    EXPECT_NE(PdfText(first).find("Page 1 of 3"), std::string::npos);
}

TEST_F(TesserCli, CancelAtTheCropBoxWarningStopsTheRunAndLeavesTheFileAsItWas) {
    const fs::path a = Pdf("a.pdf");
    const fs::path b = Pdf("b.pdf");
    const std::string aBefore = ReadFile(a);
    const std::string bBefore = ReadFile(b);
    const CommandResult run = Tesser("-t Foot -t Outside " + Q(a) + " " + Q(b));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.errors.find("Some text may not be visible because it is outside the crop box"),
              std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("to the left of the page"), std::string::npos) << run.errors;
    EXPECT_EQ(ReadFile(a), aBefore);
    EXPECT_EQ(ReadFile(b), bBefore);

    const CommandResult yes = Tesser("--yes -t Outside " + Q(a));
    EXPECT_EQ(yes.exitCode, 0) << yes.errors;
    EXPECT_NE(ReadFile(a), aBefore);
}

// A dry run makes the run's own checks up to writing: each file the run would refuse is "would
// fail" with the run's reason (and exit 1), a question is "would ask", and nothing is written.
TEST_F(TesserCli, ADryRunSaysWhatTheRunWouldRefuseAndAsk) {
    const fs::path locked = Pdf("locked.pdf");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    const fs::path plain = Pdf("plain.pdf");
    const fs::path forbidding = dir_ / "forbidding.pdf";
    ASSERT_EQ(
        test::Run("qpdf --encrypt '' own 256 --modify=none -- " + Q(plain) + " " + Q(forbidding))
            .exitCode,
        0);
    const fs::path fine = Pdf("fine.pdf");
    std::vector<std::string> before;
    for (const fs::path& f : {locked, forbidding, fine}) {
        before.push_back(ReadFile(f));
    }
    const std::string files = Q(locked) + " " + Q(forbidding) + " " + Q(fine);

    const CommandResult dry = Tesser("--dry-run --yes -t Foot " + files);
    EXPECT_EQ(dry.exitCode, 1) << dry.output << dry.errors;
    const CommandResult run = Tesser("--yes -t Foot " + files);
    EXPECT_EQ(run.exitCode, 1);
    // The dry run's reasons are the run's.
    for (const char* reason :
         {"may not be changed: it is read-only for this user", "its owner password grants them"}) {
        EXPECT_NE(dry.output.find(std::string("would fail: ")), std::string::npos) << dry.output;
        EXPECT_NE(dry.output.find(reason), std::string::npos) << reason << "\n" << dry.output;
        EXPECT_NE(run.errors.find(reason), std::string::npos) << reason << "\n" << run.errors;
    }
    EXPECT_NE(dry.output.find("  save to " + fine.string() + "\n"), std::string::npos)
        << dry.output;
    EXPECT_EQ(dry.output.find("save to " + locked.string()), std::string::npos) << dry.output;
    EXPECT_EQ(dry.output.find("save to " + forbidding.string()), std::string::npos) << dry.output;
    EXPECT_EQ(ReadFile(locked), before[0]);
    EXPECT_EQ(ReadFile(forbidding), before[1]);

    // The crop-box warning: asked in the dry run's lines; with --no the run would stop there.
    const fs::path other = Pdf("other.pdf");
    const std::string otherBefore = ReadFile(other);
    const CommandResult ask = Tesser("--dry-run -t Outside " + Q(other));
    EXPECT_EQ(ask.exitCode, 0) << ask.output << ask.errors;
    EXPECT_NE(ask.output.find("would ask: Some text may not be visible because it is outside "
                              "the crop box"),
              std::string::npos)
        << ask.output;
    const CommandResult no = Tesser("--dry-run --no -t Outside " + Q(other));
    EXPECT_NE(no.output.find("would cancel: the run would stop"), std::string::npos) << no.output;
    EXPECT_EQ(no.output.find("save to"), std::string::npos) << no.output;
    EXPECT_EQ(ReadFile(other), otherBefore);
    EXPECT_FALSE(fs::exists(JournalPath()) &&
                 ReadFile(JournalPath()).find("other.pdf") != std::string::npos);
}

// The dry run and the run agree, file by file: where the dry run would save, the run writes that
// file and its first selected page reads what the dry run said; where the dry run would fail, the
// run fails it and writes nothing. In the C locale, one with a decimal comma and one whose month
// names have no Windows-1252 form.
TEST_F(TesserCli, TheDryRunAndTheRunAgreeOnPagesTextsAndOutputPaths) {
    PdfSpec five;
    five.pages = 5;
    PdfSpec one;
    one.pages = 1;
    std::vector<fs::path> sources = {Pdf("five.pdf", five), Pdf("one.pdf", one)};
    fs::copy_file(TESSER_SOURCE_DIR "/samples/sample.pdf", dir_ / "sample.pdf");
    sources.push_back(dir_ / "sample.pdf");
    fs::copy_file(TESSER_SOURCE_DIR "/tests/data/bad-encryption-length.pdf", dir_ / "bad.pdf");
    sources.push_back(dir_ / "bad.pdf");
    std::string files;
    for (const fs::path& f : sources) {
        files += " " + Q(f);
    }
    const std::string stamp =
        "--yes --text 'Page <PageNumber> of <PageCount>, <Date:%B>' --y 1 --pages 2-";
    for (const char* locale : {"C", "de_DE.UTF-8", "ru_RU.UTF-8"}) {
        SCOPED_TRACE(locale);
        const fs::path out = dir_ / (std::string("out-") + locale);
        fs::create_directories(out);
        const std::string env = std::string("LC_ALL=") + locale + " ";
        const CommandResult dry = Tesser("--dry-run " + stamp + " -o " + Q(out) + files, "", env);
        const CommandResult run = Tesser(stamp + " -o " + Q(out) + files, "", env);
        EXPECT_EQ(dry.exitCode, run.exitCode) << dry.output << run.errors;
        if (std::string(locale) == "ru_RU.UTF-8") {
            // Said once for each document that needs it, not once for each of its pages.
            std::size_t said = 0;
            for (std::size_t at = run.errors.find("cannot be written into the page");
                 at != std::string::npos;
                 at = run.errors.find("cannot be written into the page", at + 1)) {
                ++said;
            }
            EXPECT_EQ(said, 2u) << run.errors;
        }
        // What the dry run says of each file, in order.
        struct Said {
            int page = 0;
            std::string reads, saveTo;
            bool fails = false;
        };
        std::vector<Said> said;
        std::istringstream lines(dry.output);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("[", 0) == 0) {
                said.emplace_back();
            } else if (said.empty()) {
                continue;
            } else if (const auto at = line.find("; page "); at != std::string::npos) {
                said.back().page = std::stoi(line.substr(at + 7));
                const auto quote = line.find(" reads \"");
                said.back().reads = line.substr(quote + 8, line.size() - quote - 9);
            } else if (line.rfind("  save to ", 0) == 0) {
                said.back().saveTo = line.substr(10, line.find(" (") - 10);
            } else if (line.rfind("  would fail: ", 0) == 0) {
                said.back().fails = true;
            }
        }
        ASSERT_EQ(said.size(), sources.size()) << dry.output;
        int saved = 0;
        for (std::size_t i = 0; i < said.size(); ++i) {
            const fs::path target = out / sources[i].filename();
            // The run writes exactly where the dry run said it would.
            EXPECT_EQ(fs::exists(target), !said[i].saveTo.empty()) << target;
            if (said[i].saveTo.empty()) {
                continue;
            }
            ++saved;
            EXPECT_EQ(fs::path(said[i].saveTo), target);
            if (said[i].page > 0 && !said[i].fails) {
                const std::string text =
                    test::Run("pdftotext -f " + std::to_string(said[i].page) + " -l " +
                              std::to_string(said[i].page) + " " + Q(target) + " -")
                        .output;
                EXPECT_NE(text.find(said[i].reads), std::string::npos) << said[i].reads << "\n"
                                                                       << text;
            }
            // A failure the dry run foresees is one the run reports for that file.
            EXPECT_EQ(said[i].fails,
                      run.errors.find(sources[i].string() + ": failed") != std::string::npos)
                << run.errors;
        }
        EXPECT_EQ(saved, static_cast<int>(
                             std::distance(fs::directory_iterator(out), fs::directory_iterator())))
            << dry.output;
        EXPECT_EQ(saved, 2) << dry.output << run.errors; // the 1-page files have no page 2
    }
}

// A mistyped option names the one meant; a folder with no PDF file is a warning and a failed
// run; after the last document's failure there is nothing left to ask about.
TEST_F(TesserCli, MistypedOptionsEmptyFoldersAndTheLastFailureAreToldPlainly) {
    const CommandResult typo = Tesser("--text A --output-dri out a.pdf");
    EXPECT_EQ(typo.exitCode, 2);
    EXPECT_NE(typo.errors.find("unknown option --output-dri (did you mean --output-dir?)"),
              std::string::npos)
        << typo.errors;
    // -n still answers No, and says that it is to mean --dry-run.
    const CommandResult shortNo = Tesser("-qn --text A --y 1 " + Q(dir_ / "missing.pdf"));
    EXPECT_NE(shortNo.errors.find("-n is to mean --dry-run in the next release"), std::string::npos)
        << shortNo.errors;
    EXPECT_EQ(Tesser("--no --text A --y 1 " + Q(dir_ / "missing.pdf")).errors.find("--dry-run"),
              std::string::npos);
    const CommandResult far = Tesser("--text A --zzzzzzzz a.pdf");
    EXPECT_EQ(far.exitCode, 2);
    EXPECT_NE(far.errors.find("unknown option --zzzzzzzz\n"), std::string::npos) << far.errors;

    fs::create_directories(dir_ / "empty");
    WriteFile(dir_ / "empty/notes.txt", "not a PDF");
    const fs::path good = Pdf("good.pdf");
    const CommandResult empty = Tesser("--text A --y 1 " + Q(dir_ / "empty") + "/ " + Q(good));
    EXPECT_EQ(empty.exitCode, 1) << empty.errors;
    EXPECT_NE(empty.errors.find("warning: " + (dir_ / "empty").string() + "/ holds no PDF file"),
              std::string::npos)
        << empty.errors;
    EXPECT_NE(PdfText(good).find("A"), std::string::npos);

    const fs::path locked = Pdf("locked.pdf");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    const fs::path other = Pdf("other.pdf");
    const CommandResult last = Tesser("--text B --y 1 " + Q(other) + " " + Q(locked));
    EXPECT_EQ(last.exitCode, 1);
    EXPECT_NE(last.errors.find("locked.pdf: failed"), std::string::npos) << last.errors;
    EXPECT_EQ(last.errors.find("Go on with the run?"), std::string::npos) << last.errors;
    // Before another document the question stays (answered No here: no terminal, no --yes).
    const CommandResult first = Tesser("--text C --y 1 " + Q(locked) + " " + Q(other));
    EXPECT_NE(first.errors.find("Go on with the run? no"), std::string::npos) << first.errors;
}

// In a pipe: "-" reads the document from standard input, -o - writes the result to standard
// output and nothing else goes there; such a run is not recorded for undo, and says so.
TEST_F(TesserCli, APipeReadsStandardInputAndWritesStandardOutput) {
    const fs::path in = Pdf("in.pdf");
    const std::string before = ReadFile(in);
    const std::string tesser = "XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " +
                               Quote(TESSER_BINARY) + " -p " +
                               Quote((dir_ / "Quorel.ini").string());
    const fs::path out = dir_ / "out.pdf";
    const CommandResult piped =
        test::Run("cat " + Q(in) + " | " + tesser + " --text Piped --y 1 -o - - > " + Q(out));
    ASSERT_EQ(piped.exitCode, 0) << piped.errors;
    EXPECT_NE(piped.errors.find("not recorded for undo"), std::string::npos) << piped.errors;
    EXPECT_TRUE(QpdfCheckPasses(out));
    EXPECT_NE(PdfText(out).find("Piped"), std::string::npos);
    EXPECT_FALSE(fs::exists(JournalPath()));

    // From a file to standard output: the file stays as it was.
    const fs::path copy = dir_ / "copy.pdf";
    const CommandResult fromFile =
        test::Run(tesser + " -q --text Copied --y 1 -o - " + Q(in) + " > " + Q(copy));
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.errors;
    EXPECT_EQ(ReadFile(in), before);
    EXPECT_NE(PdfText(copy).find("Copied"), std::string::npos);
    EXPECT_FALSE(fs::exists(JournalPath()));

    // Standard input needs a place for the result; --json would share standard output.
    const CommandResult nowhere = test::Run("cat " + Q(in) + " | " + tesser + " --text X --y 1 -");
    EXPECT_EQ(nowhere.exitCode, 2);
    EXPECT_NE(nowhere.errors.find("needs -o FILE, or -o -"), std::string::npos) << nowhere.errors;
    const CommandResult json = test::Run(tesser + " --json --text X --y 1 -o - " + Q(in));
    EXPECT_EQ(json.exitCode, 2);
    EXPECT_EQ(json.output.rfind("{\"tesser_json\": 1", 0), 0u) << json.output; // the refusal
    EXPECT_NE(json.output.find("cannot be combined with -o -"), std::string::npos);
    // A damaged document on standard input fails, and nothing reaches standard output.
    const CommandResult damaged =
        test::Run("echo 'not a PDF' | " + tesser + " --text X --y 1 -o - - ");
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_EQ(damaged.output, "");
}

// --json is JSON a parser takes whatever the file names hold (Latin-1 bytes, UTF-8, a line
// break), says its format's version, and gives the exact bytes of a name that is not UTF-8.
TEST_F(TesserCli, TheJsonSummaryParsesForAnyFileName) {
    const std::vector<std::string> names = {"caf\xe9.pdf", "caf\xc3\xa9 \xe2\x9c\x93.pdf",
                                            "two\nlines.pdf", "quote\"back\\slash.pdf"};
    std::string files;
    for (const std::string& name : names) {
        fs::copy_file(Pdf("plain.pdf"), dir_ / name, fs::copy_options::overwrite_existing);
        files += " " + Q(dir_ / name);
    }
    const CommandResult run = Tesser("-q --json --text J --y 1" + files);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    WriteFile(dir_ / "summary.json", run.output);
    // Each document's path read back exactly: from path_bytes where given, else from path.
    const CommandResult parsed =
        test::Run("python3 -c 'import json,sys\n"
                  "d = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
                  "assert d[\"tesser_json\"] == 1 and d[\"version\"], d\n"
                  "for doc in d[\"documents\"]:\n"
                  "    b = bytes.fromhex(doc[\"path_bytes\"]) if \"path_bytes\" in doc else "
                  "doc[\"path\"].encode()\n"
                  "    sys.stdout.buffer.write(b + bytes([0]))\n' " +
                  Q(dir_ / "summary.json"));
    ASSERT_EQ(parsed.exitCode, 0) << parsed.errors << run.output;
    std::string expected;
    for (const std::string& name : names) {
        expected += (dir_ / name).string() + '\0';
    }
    EXPECT_EQ(parsed.output, expected);
    EXPECT_NE(run.output.find("\"path_bytes\""), std::string::npos); // the Latin-1 name

    // A failure that ends the invocation is a JSON object too, with the status of today.
    for (const std::string& failing :
         {std::string("--json --text J --bogus") + files, std::string("--json -t Missing") + files,
          std::string("--json --text J --y 1 ") + Q(dir_ / "none.pdf")}) {
        const CommandResult failed = Tesser(failing);
        EXPECT_NE(failed.exitCode, 0) << failing;
        WriteFile(dir_ / "error.json", failed.output);
        const CommandResult error =
            test::Run("python3 -c 'import json,sys\n"
                      "d = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
                      "assert d[\"tesser_json\"] == 1 and d[\"error\"], d\n' " +
                      Q(dir_ / "error.json"));
        EXPECT_EQ(error.exitCode, 0) << failing << "\n" << failed.output << error.errors;
    }

    // --list, --show and --history answer in JSON too.
    for (const char* mode : {"--list", "--show Foot", "--history"}) {
        const CommandResult listed = Tesser(std::string("--json ") + mode);
        EXPECT_EQ(listed.exitCode, 0) << mode << listed.errors;
        WriteFile(dir_ / "listed.json", listed.output);
        const CommandResult checked =
            test::Run("python3 -c 'import json,sys\n"
                      "d = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
                      "assert d[\"tesser_json\"] == 1, d\n"
                      "assert d.get(\"tesserions\") or d.get(\"options\", {}).get(\"text\") or "
                      "len(d.get(\"runs\", [])) == 1, d\n' " +
                      Q(dir_ / "listed.json"));
        EXPECT_EQ(checked.exitCode, 0) << mode << "\n" << listed.output << checked.errors;
    }
    // Printing and undoing give the run's object too, with the odd names as they are.
    fs::create_directories(dir_ / "printed");
    for (const std::string& action :
         {"--json -q --print -t Foot --print-to-file " + Q(dir_ / "printed") + "/" + files,
          std::string("--json -q --undo")}) {
        const CommandResult done = Tesser(action);
        EXPECT_EQ(done.exitCode, 0) << action << done.errors;
        WriteFile(dir_ / "done.json", done.output);
        const CommandResult checked =
            test::Run("python3 -c 'import json,sys\n"
                      "d = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
                      "assert d[\"tesser_json\"] == 1 and d[\"mode\"] in (\"print\", \"undo\"), d\n"
                      "assert len(d[\"documents\"]) == 4 and d[\"processed\"] == 4, d\n' " +
                      Q(dir_ / "done.json"));
        EXPECT_EQ(checked.exitCode, 0) << action << "\n" << done.output << checked.errors;
    }

    // The dry run in JSON: each document with its outcome and where it would be saved.
    const CommandResult dry = Tesser("--json --dry-run --text J --y 1" + files);
    EXPECT_EQ(dry.exitCode, 0) << dry.errors;
    WriteFile(dir_ / "dry.json", dry.output);
    const CommandResult dryParsed =
        test::Run("python3 -c 'import json,sys\n"
                  "d = json.load(open(sys.argv[1], encoding=\"utf-8\"))\n"
                  "assert d[\"mode\"] == \"dry-run\" and d[\"written\"] is False, d\n"
                  "for doc in d[\"documents\"]:\n"
                  "    assert doc[\"outcome\"] == \"save\" and doc[\"save_to\"], doc\n"
                  "    assert doc[\"stamps\"][0][\"reads\"] == \"J\", doc\n"
                  "print(len(d[\"documents\"]))\n' " +
                  Q(dir_ / "dry.json"));
    EXPECT_EQ(dryParsed.exitCode, 0) << dry.output << dryParsed.errors;
    EXPECT_EQ(dryParsed.output, std::to_string(names.size()) + "\n");
}

// ---------------------------------------------------------------------------------------------
// Ctrl-C

TEST_F(TesserCli, InterruptLeavesEveryFileWhollyProcessedOrUntouched) {
    constexpr int kFiles = 200;
    std::vector<std::string> before;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "many/f%03d.pdf", i);
        Pdf(name, Pages(3 + i % 8));
        before.push_back(ReadFile(dir_ / name));
    }
    // Interrupt once a few files are through.
    const std::string script =
        "XDG_STATE_HOME=" + Quote((dir_ / "state").string()) + " " + Quote(TESSER_BINARY) + " -p " +
        Q(dir_ / "Quorel.ini") + " -t Foot " + Q(dir_ / "many") + " 2> " + Q(dir_ / "err.txt") +
        " < /dev/null & pid=$!; "
        "for i in $(seq 1 600); do n=$(grep -c '^\\[' " +
        Q(dir_ / "err.txt") +
        " 2>/dev/null || true); [ \"${n:-0}\" -ge 6 ] && break; sleep 0.05; done; "
        "kill -INT $pid; wait $pid; echo $?";
    const CommandResult run = test::Run(script);
    const std::string errors = ReadFile(dir_ / "err.txt");
    EXPECT_EQ(run.output, "130\n") << errors;
    EXPECT_NE(errors.find("Process aborted by user."), std::string::npos) << errors;

    int stamped = 0;
    int untouched = 0;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "many/f%03d.pdf", i);
        const fs::path path = dir_ / name;
        if (ReadFile(path) == before[i]) {
            ++untouched;
            continue;
        }
        ++stamped;
        EXPECT_TRUE(QpdfCheckPasses(path)) << name;
        const int pages = 3 + i % 8;
        const std::string text = PdfText(path);
        for (int page = 1; page <= pages; ++page) {
            EXPECT_NE(text.find("Page " + std::to_string(page) + " of " + std::to_string(pages)),
                      std::string::npos)
                << name;
        }
    }
    EXPECT_GE(stamped, 1);
    EXPECT_GE(untouched, 1) << "the run ended before the interrupt";
    for (const auto& item : fs::directory_iterator(dir_ / "many")) {
        EXPECT_EQ(item.path().extension(), ".pdf") << "left behind: " << item.path();
    }
}

// SIGKILL at many moments of a run (one process or two workers) and of its undo: afterwards one
// undo gives every file back. What the run changed is in the journal, found from its write-ahead
// log; what an undo restored has left it; a file the kill caught before its save is untouched.
TEST_F(TesserCli, KillsAtAnyMomentLeaveEveryChangedFileUndoable) {
    constexpr int kFiles = 16;
    std::vector<std::string> original;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "docs/f%02d.pdf", i);
        Pdf(name, Pages(60));
        original.push_back(ReadFile(dir_ / name));
    }
    const auto name = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "docs/f%02d.pdf", i);
        return std::string(text);
    };
    // Starts tesser with arguments, kills it with SIGKILL once its progress shows lines lines
    // and a further pause, and answers what it printed.
    const auto killed = [&](const std::string& arguments, int lines, const char* pause) {
        const std::string script =
            "XDG_STATE_HOME=" + Q(dir_ / "state") + " " + Quote(TESSER_BINARY) + " -p " +
            Q(dir_ / "Quorel.ini") + " " + arguments + " 2> " + Q(dir_ / "err.txt") +
            " < /dev/null & pid=$!; for i in $(seq 1 600); do n=$(grep -c '^\\[' " +
            Q(dir_ / "err.txt") + " 2>/dev/null || true); [ \"${n:-0}\" -ge " +
            std::to_string(lines) + " ] && break; sleep 0.01; done; sleep " + pause +
            "; kill -KILL $pid; wait $pid";
        test::Run(script);
        return ReadFile(dir_ / "err.txt");
    };
    const auto stampsLeft = [&] {
        int left = 0;
        for (int i = 0; i < kFiles; ++i) {
            left += PdfText(dir_ / name(i)).find("of 60") != std::string::npos ? 1 : 0;
        }
        return left;
    };
    const auto reset = [&] {
        for (int i = 0; i < kFiles; ++i) {
            WriteFile(dir_ / name(i), original[i]);
        }
        fs::remove_all(dir_ / "state");
    };

    struct Moment {
        const char* workers;
        int lines;
        const char* pause;
    };
    const Moment moments[] = {{"-j 1", 0, "0"},    {"-j 1", 1, "0.01"}, {"-j 1", 3, "0.03"},
                              {"-j 1", 6, "0"},    {"-j 2", 0, "0.02"}, {"-j 2", 2, "0"},
                              {"-j 2", 5, "0.01"}, {"-j 2", 9, "0.02"}};
    int changedSomewhere = 0;
    for (const Moment& m : moments) {
        SCOPED_TRACE(std::string(m.workers) + " after " + std::to_string(m.lines) + " lines");
        reset();
        killed(std::string(m.workers) + " --yes -t Foot " + Q(dir_ / "docs"), m.lines, m.pause);
        int changed = 0;
        for (int i = 0; i < kFiles; ++i) {
            changed += ReadFile(dir_ / name(i)) != original[i] ? 1 : 0;
        }
        changedSomewhere += changed > 0 && changed < kFiles ? 1 : 0;
        const CommandResult undo = Tesser("--yes --undo");
        if (changed == 0) {
            EXPECT_EQ(undo.errors.find("restored"), std::string::npos) << undo.errors;
        } else {
            EXPECT_EQ(undo.exitCode, 0) << undo.errors;
            EXPECT_NE(undo.errors.find(std::to_string(changed) + " processed, 0 failed"),
                      std::string::npos)
                << undo.errors;
        }
        EXPECT_EQ(stampsLeft(), 0);
        EXPECT_NE(Tesser("--history").output.find("No recorded runs"), std::string::npos);
    }
    EXPECT_GE(changedSomewhere, 1) << "no kill landed inside a run";

    // Kills during an undo: the next undo restores the rest and fails on nothing.
    const std::pair<int, const char*> undoMoments[] = {
        {1, "0.005"}, {2, "0"}, {4, "0.01"}, {9, "0.003"}};
    for (const auto& [lines, pause] : undoMoments) {
        SCOPED_TRACE("undo killed after " + std::to_string(lines) + " lines");
        reset();
        ASSERT_EQ(Tesser("-q -t Foot " + Q(dir_ / "docs")).exitCode, 0);
        killed("--undo", lines, pause);
        const CommandResult again = Tesser("--yes --undo");
        EXPECT_EQ(again.errors.find("changed or replaced since"), std::string::npos)
            << again.errors;
        EXPECT_EQ(stampsLeft(), 0) << again.errors;
        EXPECT_NE(Tesser("--history").output.find("No recorded runs"), std::string::npos);
    }
}

// ---------------------------------------------------------------------------------------------
// Printing

TEST_F(TesserCli, PrintToFileShowsTheStampsAndChangesNoSource) {
    const fs::path a = Pdf("a.pdf");
    const std::string aBefore = ReadFile(a);
    const fs::path printed = dir_ / "printed.pdf";
    const CommandResult run =
        Tesser("--print -t Foot -t Draft --print-to-file " + Q(printed) + " " + Q(a));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(ReadFile(a), aBefore);
    EXPECT_TRUE(QpdfCheckPasses(printed));
    const std::string text = PdfText(printed);
    EXPECT_NE(text.find("Page 2 of 3"), std::string::npos) << text;
    EXPECT_NE(text.find("DRAFT COPY"), std::string::npos) << text;
}

TEST_F(TesserCli, PrintingAFolderToAFolderGivesOnePrintPerDocument) {
    const fs::path a = Pdf("docs/a.pdf");
    const fs::path b = Pdf("docs/b.pdf", Pages(2));
    const std::string aBefore = ReadFile(a);
    fs::create_directories(dir_ / "prints");
    const CommandResult run =
        Tesser("-q --print -t Foot --print-to-file " + Q(dir_ / "prints") + " " + Q(dir_ / "docs"));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(PdfText(dir_ / "prints/a.pdf").find("Page 3 of 3"), std::string::npos);
    EXPECT_NE(PdfText(dir_ / "prints/b.pdf").find("Page 2 of 2"), std::string::npos);
    EXPECT_EQ(ReadFile(a), aBefore);
    EXPECT_FALSE(fs::exists(dir_ / "state/tesser/journal")) << "a print left an undo record";
}

TEST_F(TesserCli, PrintingOpensAProtectedFileWithThePasswordGiven) {
    const fs::path plain = Pdf("plain.pdf");
    const fs::path file = dir_ / "secured.pdf";
    ASSERT_EQ(test::Run("qpdf --encrypt usr own 256 -- " + Q(plain) + " " + Q(file)).exitCode, 0);
    const std::string before = ReadFile(file);

    // Without a password the file cannot be opened, so nothing is printed.
    const CommandResult none =
        Tesser("--print -t Foot --print-to-file " + Q(dir_ / "none.pdf") + " " + Q(file));
    EXPECT_EQ(none.exitCode, 1) << none.errors;
    EXPECT_NE(none.errors.find("[1/1] " + file.string() + ": failed: "), std::string::npos)
        << none.errors;
    EXPECT_FALSE(fs::exists(dir_ / "none.pdf"));

    // The user password as an option, the owner password on standard input.
    const std::vector<std::pair<std::string, std::string>> ways = {{"--current-password usr", ""},
                                                                   {"--password-stdin", "own\n"}};
    for (const auto& [option, input] : ways) {
        SCOPED_TRACE(option);
        const fs::path printed = dir_ / "printed.pdf";
        fs::remove(printed);
        const CommandResult run = Tesser(
            "--print -t Foot " + option + " --print-to-file " + Q(printed) + " " + Q(file), input);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(run.errors.find(": failed: "), std::string::npos) << run.errors;
        EXPECT_TRUE(QpdfCheckPasses(printed, "usr"));
        const std::string text = PdfText(printed, "usr");
        // The stamps are printed too: the password opened the file for them.
        for (const char* page : {"Page 1 of 3", "Page 2 of 3", "Page 3 of 3"}) {
            EXPECT_NE(text.find(page), std::string::npos) << text;
        }
    }
    EXPECT_EQ(ReadFile(file), before);
}

// ---------------------------------------------------------------------------------------------
// Bad usage is refused before anything is touched

TEST_F(TesserCli, UnknownOrInvalidTesserionsAreRefusedBeforeAnyFileIsTouched) {
    const fs::path a = Pdf("a.pdf");
    const std::string before = ReadFile(a);

    const CommandResult unknown = Tesser("-t Foot -t Nope " + Q(a));
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.errors.find("no Tesserion named \"Nope\""), std::string::npos)
        << unknown.errors;

    const CommandResult invalid = Tesser("-t Foot -t Bad " + Q(a));
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_NE(invalid.errors.find("tesser: Tesserion: Bad: The page range is invalid"),
              std::string::npos)
        << invalid.errors;
    EXPECT_EQ(ReadFile(a), before);
}

TEST_F(TesserCli, TextWithoutAWindows1252FormIsRefused) {
    const fs::path a = Pdf("a.pdf");
    const std::string before = ReadFile(a);
    const CommandResult run = Tesser("--title '\xE4\xB8\xAD' " + Q(a));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.errors.find("U+4E2D"), std::string::npos) << run.errors;
    EXPECT_EQ(ReadFile(a), before);

    const CommandResult accented = Tesser("-q --title 'Caf\xC3\xA9' " + Q(a));
    ASSERT_EQ(accented.exitCode, 0) << accented.errors;
    EXPECT_NE(test::Run("pdfinfo " + Q(a)).output.find("Caf\xC3\xA9"), std::string::npos);
}

TEST_F(TesserCli, BadUsageExitsWithStatusTwo) {
    const fs::path a = Pdf("a.pdf");
    EXPECT_EQ(Tesser("").exitCode, 2);
    EXPECT_EQ(Tesser(Q(a)).exitCode, 2) << "nothing to apply";
    EXPECT_EQ(Tesser("-t Foot " + Q(dir_ / "missing.pdf")).exitCode, 2);
    EXPECT_EQ(Tesser("--bogus " + Q(a)).exitCode, 2);
    EXPECT_EQ(Tesser("--zoom 90 " + Q(a)).exitCode, 2);
    EXPECT_EQ(Tesser("--open-page 1234567890 --zoom 100 " + Q(a)).exitCode, 2);
    EXPECT_EQ(Tesser("--undo " + Q(a)).exitCode, 2);
    EXPECT_EQ(Tesser("-p " + Q(dir_ / "none.ini") + " -t Foot " + Q(a)).exitCode, 2);
}

TEST_F(TesserCli, ListShowsEachTesserionWithItsValidation) {
    const CommandResult run = Tesser("--list");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.output.find("Foot: valid\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Bad: invalid (the page range is invalid)\n"), std::string::npos)
        << run.output;
}

TEST_F(TesserCli, AHugeCountInTheProfileIsReadAsTheKeysThatExist) {
    std::string profile = kProfile;
    profile.replace(profile.find("Count=4"), 7, "Count=99999999999");
    WriteFile(dir_ / "Quorel.ini", profile);
    const fs::path a = Pdf("a.pdf");
    // timeout only ends a hang: reading the list takes no time at all.
    const std::string guard = "timeout 120 ";
    const CommandResult list = test::Run(guard + Quote(TESSER_BINARY) + " -p " +
                                         Q(dir_ / "Quorel.ini") + " --list < /dev/null");
    ASSERT_EQ(list.exitCode, 0) << list.errors;
    EXPECT_EQ(list.output, "Bad: invalid (the page range is invalid)\nDraft: valid\nFoot: valid\n"
                           "Outside: valid\n");
    const CommandResult run =
        test::Run("XDG_STATE_HOME=" + Q(dir_ / "state") + " " + guard + Quote(TESSER_BINARY) +
                  " -q -p " + Q(dir_ / "Quorel.ini") + " -t Foot " + Q(a) + " < /dev/null");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(PdfText(a).find("Page 3 of 3"), std::string::npos);
}

TEST_F(TesserCli, HelpSaysWhereTheJournalIsAndThatItIsPrivate) {
    const CommandResult run = test::Run(Quote(TESSER_BINARY) + " --help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("Usage: tesser [options] PATH..."), std::string::npos);
    EXPECT_NE(run.output.find("~/.local/state/tesser/journal"), std::string::npos);
    EXPECT_NE(run.output.find("0600"), std::string::npos);
    // It fits a terminal of 80 columns.
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LT(line.size(), 80u) << line;
    }
}

TEST_F(TesserCli, PasswordsCanComeFromStandardInput) {
    const fs::path a = Pdf("a.pdf");
    const CommandResult run =
        Tesser("-q -t Foot --password-stdin --change-security " + Q(a), "\nopenme\nownme\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(QpdfCheckPasses(a, "openme"));
    EXPECT_NE(test::Run("qpdf --check " + Q(a)).exitCode, 0);
    const std::string encryption =
        test::Run("qpdf --show-encryption --password=ownme " + Q(a)).output;
    EXPECT_NE(encryption.find("Supplied password is owner password"), std::string::npos)
        << encryption;
}

// Only true messages: a stamp-only run on an encrypted file opened with its user password is
// undone without a word about the owner password, and keeps the file's encryption; a file that
// opens without a password but forbids changes says that its owner password is what is needed.
TEST_F(TesserCli, EncryptedFilesGetOnlyMessagesThatAreTrue) {
    const fs::path plain = Pdf("plain.pdf");
    const fs::path a = dir_ / "a.pdf";
    ASSERT_EQ(test::Run("qpdf --encrypt user owner 256 -- " + Q(plain) + " " + Q(a)).exitCode, 0);
    ASSERT_EQ(Tesser("-q -t Foot --current-password user " + Q(a)).exitCode, 0);
    const CommandResult undo = Tesser("--undo");
    EXPECT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_EQ(undo.errors.find("password"), std::string::npos) << undo.errors;
    EXPECT_NE(undo.errors.find("restored"), std::string::npos) << undo.errors;
    EXPECT_TRUE(QpdfCheckPasses(a, "user"));
    EXPECT_EQ(PdfText(a, "user").find("of 3"), std::string::npos);

    const fs::path b = dir_ / "b.pdf";
    ASSERT_EQ(
        test::Run("qpdf --encrypt '' owner 256 --modify=none -- " + Q(plain) + " " + Q(b)).exitCode,
        0);
    const std::string before = ReadFile(b);
    const CommandResult refused = Tesser("-t Foot " + Q(b));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.errors.find("its owner password grants them"), std::string::npos)
        << refused.errors;
    EXPECT_EQ(refused.errors.find("cannot be opened"), std::string::npos) << refused.errors;
    EXPECT_EQ(ReadFile(b), before);
}

TEST_F(TesserCli, AnOpenPasswordAloneIsTheOwnerPasswordTooFromOptionsAndStandardInput) {
    const fs::path a = Pdf("a.pdf");
    const fs::path b = Pdf("b.pdf");
    ASSERT_EQ(Tesser("-q --user-password uu " + Q(a)).exitCode, 0);
    const CommandResult piped =
        Tesser("-q --password-stdin --change-security " + Q(b), "\nopenme\n\n");
    ASSERT_EQ(piped.exitCode, 0) << piped.errors;
    for (const auto& [file, password] : {std::pair{a, "uu"}, std::pair{b, "openme"}}) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(test::Run("qpdf --requires-password " + Q(file)).exitCode, 0);
        const std::string encryption =
            test::Run("qpdf --show-encryption --password=" + std::string(password) + " " + Q(file))
                .output;
        EXPECT_NE(encryption.find("Supplied password is owner password"), std::string::npos)
            << encryption;
    }
    const CommandResult undo = Undo();
    ASSERT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_EQ(test::Run("qpdf --requires-password " + Q(b)).exitCode, 2) << "still encrypted";

    const CommandResult help = test::Run(Quote(TESSER_BINARY) + " --help");
    std::string words; // the help text with its line breaks and indents as single spaces
    std::istringstream in(help.output);
    for (std::string word; in >> word;) {
        words += word + " ";
    }
    EXPECT_NE(words.find("the open password is the owner password too"), std::string::npos)
        << help.output;
}

TEST_F(TesserCli, ReadersShowTheTitleAndOpenTheFileAsAsked) {
    const fs::path a = Pdf("a.pdf");
    const DocumentView before = ViewDocument(a);
    const CommandResult run = Tesser("-q --title 'Caf\xC3\xA9 \xE2\x80\x93 price 5 \xE2\x82\xAC' "
                                     "--zoom 200 --hide-toolbar --hide-menubar=no " +
                                     Q(a));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    const CommandResult info = test::Run("pdfinfo " + Q(a));
    EXPECT_NE(info.output.find("Title:           Caf\xC3\xA9 \xE2\x80\x93 price 5 \xE2\x82\xAC\n"),
              std::string::npos)
        << info.output;
    const std::string catalogue = ViewDocument(a).catalogue;
    EXPECT_NE(catalogue.find("/XYZ null null 2 ]"), std::string::npos) << catalogue;
    EXPECT_NE(catalogue.find("/HideMenubar false /HideToolbar true"), std::string::npos)
        << catalogue;

    ASSERT_EQ(Undo().exitCode, 0);
    const DocumentView after = ViewDocument(a);
    EXPECT_EQ(after.info, before.info);
    EXPECT_EQ(after.catalogue, before.catalogue);
}

} // namespace
} // namespace tesser::test
