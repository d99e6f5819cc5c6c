// tesser -j N and --files-from: the built binary on generated folders, the results read back
// with qpdf and poppler-utils.
#include "PdfFixtures.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tesser::test {
namespace {

namespace fs = std::filesystem;

std::string Q(const fs::path& path) {
    return Quote(path.string());
}

class TesserJobs : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(dir_ / "Quorel.ini", kFootProfile); }

    // The tesser command with the test's profile and journal; before: shell text put in front
    // (a pipe into it). Standard input is /dev/null unless before gives one.
    std::string Command(const std::string& arguments, const std::string& before = "") const {
        return before + "XDG_STATE_HOME=" + Q(dir_ / "state") + " " + Quote(TESSER_BINARY) +
               " -p " + Q(dir_ / "Quorel.ini") + " " + arguments +
               (before.empty() ? " < /dev/null" : "");
    }
    CommandResult Tesser(const std::string& arguments, const std::string& before = "") const {
        return test::Run(Command(arguments, before));
    }
    CommandResult Undo() const {
        return test::Run("XDG_STATE_HOME=" + Q(dir_ / "state") + " " + Quote(TESSER_BINARY) +
                         " --undo -q < /dev/null");
    }

    // A folder of PDF files named f00.pdf, f01.pdf, ... with pages each; answers their paths.
    std::vector<fs::path> Folder(const std::string& name, int files, int pages) {
        std::vector<fs::path> paths;
        for (int i = 0; i < files; ++i) {
            char file[16];
            std::snprintf(file, sizeof file, "f%02d.pdf", i);
            const fs::path path = dir_ / name / file;
            fs::create_directories(path.parent_path());
            PdfSpec spec;
            spec.pages = pages;
            spec.label = "Text";
            WritePdf(path, spec);
            paths.push_back(path);
        }
        return paths;
    }

    std::string JournalText() const { return ReadFile(dir_ / "state/tesser/journal"); }

    TempDir dir_;
};

// What a reader sees of a document (pages, information, catalogue, encryption), for comparing a
// file with itself before a run and after its undo.
std::string Seen(const fs::path& path) {
    const DocumentView view = ViewDocument(path);
    EXPECT_TRUE(view.ok) << path;
    std::string seen;
    for (const std::string& page : view.pageContents) {
        seen += page + "\n--\n";
    }
    return seen + view.info + "\n--\n" + view.catalogue + "\n--\n" + view.encryption;
}

// The file names in a folder.
std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST_F(TesserJobs, TwoWorkersDoEveryFileOnceReportTheFailureOnceAndRecordOneRun) {
    std::vector<fs::path> files = Folder("docs", 9, 3);
    const fs::path broken = dir_ / "docs/f04.pdf"; // in the middle of the list
    WriteFile(broken, "%PDF-1.4\nthis is not a PDF body at all\n");
    std::map<fs::path, std::string> before;
    for (const fs::path& file : files) {
        before[file] = file == broken ? ReadFile(file) : Seen(file);
    }

    const CommandResult run = Tesser("--yes -j 2 -t Foot " + Q(dir_ / "docs"));
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_EQ(Occurrences(run.errors, broken.string() + ": failed: "), 1) << run.errors;
    EXPECT_EQ(Occurrences(run.errors, ": failed"), 1) << run.errors;
    EXPECT_NE(run.errors.find("tesser: 8 processed, 1 failed, 0 skipped"), std::string::npos)
        << run.errors;
    for (int n = 1; n <= 9; ++n) {
        EXPECT_EQ(Occurrences(run.errors, "[" + std::to_string(n) + "/9] "), 1) << run.errors;
    }
    for (const fs::path& file : files) {
        if (file == broken) {
            EXPECT_EQ(ReadFile(file), before[file]);
            continue;
        }
        EXPECT_EQ(Occurrences(run.errors, file.string() + ": stamped, 3 pages"), 1) << file;
        EXPECT_TRUE(QpdfCheckPasses(file)) << file;
        const std::string text = PdfText(file);
        for (int page = 1; page <= 3; ++page) {
            EXPECT_EQ(Occurrences(text, "Page " + std::to_string(page) + " of 3"), 1)
                << file << " (stamped once)\n"
                << text;
        }
    }
    EXPECT_EQ(Names(dir_ / "docs").size(), 9u) << "no temporary files left";

    // One run in the journal, with the eight files in the order of the list.
    const std::string journal = JournalText();
    EXPECT_EQ(Occurrences(journal, "\nrecord "), 1) << journal;
    EXPECT_EQ(Occurrences(journal, "\nentry "), 8) << journal;
    std::string listed;
    for (const fs::path& file : files) {
        listed += file == broken ? "" : "      " + file.string() + "\n";
    }
    const std::string history = Tesser("--history").output;
    EXPECT_NE(history.find("  8 documents  stamped Foot\n" + listed), std::string::npos) << history;

    const CommandResult undo = Undo();
    EXPECT_EQ(undo.exitCode, 0) << undo.errors;
    for (const fs::path& file : files) {
        EXPECT_EQ(file == broken ? ReadFile(file) : Seen(file), before[file]) << file;
    }
    EXPECT_EQ(Tesser("--history").output.find("No recorded runs"), 0u);
}

TEST_F(TesserJobs, ANoStopsHandingOutFilesAndTheFilesDoneAreRecorded) {
    std::vector<fs::path> files = Folder("docs", 8, 2);
    WriteFile(files[1], "%PDF-1.4\nbroken\n");
    const CommandResult run = Tesser("--no -j 2 -t Foot " + Q(dir_ / "docs"));
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    const std::size_t no = run.errors.find("Go on with the run? no");
    ASSERT_NE(no, std::string::npos) << run.errors;
    // After the No only the other worker's file in hand is finished; nothing is taken up.
    EXPECT_LE(Occurrences(run.errors.substr(no), ": stamped"), 1) << run.errors;
    const int stamped = Occurrences(run.errors, ": stamped");
    EXPECT_NE(run.errors.find("tesser: " + std::to_string(stamped) + " processed, 1 failed, " +
                              std::to_string(7 - stamped) + " skipped"),
              std::string::npos)
        << run.errors;
    const std::string journal = JournalText();
    EXPECT_EQ(Occurrences(journal, "\nentry "), stamped) << journal;
    int changed = 0;
    for (const fs::path& file : files) {
        changed += PdfText(file).find("Page 1 of 2") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(changed, stamped);

    // Neither --yes nor --no and no terminal: the question gets the default, nothing waits.
    const CommandResult unanswered = Tesser("-j 2 -t Foot " + Q(dir_ / "docs"));
    EXPECT_EQ(unanswered.exitCode, 1) << unanswered.errors;
    EXPECT_NE(unanswered.errors.find("Go on with the run? no (no terminal to ask; --yes would "
                                     "go on)"),
              std::string::npos)
        << unanswered.errors;
}

TEST_F(TesserJobs, OnATerminalTesserItselfAsksTheWorkersQuestion) {
    if (test::Run("command -v script").exitCode != 0) {
        GTEST_SKIP() << "script (util-linux) is needed for a terminal";
    }
    std::vector<fs::path> files = Folder("docs", 6, 1);
    WriteFile(files[1], "%PDF-1.4\nbroken\n");
    // The answer typed on the terminal before it is asked waits there for the question.
    auto onTerminal = [&](const std::string& typed) {
        const std::string command = "XDG_STATE_HOME=" + Q(dir_ / "state") + " " +
                                    Quote(TESSER_BINARY) + " -p " + Q(dir_ / "Quorel.ini") +
                                    " -j 2 -t Foot " + Q(dir_ / "docs");
        return test::Run("printf '" + typed + "\\n' | script -qec " + Quote(command) +
                         " /dev/null");
    };
    const CommandResult yes = onTerminal("yes");
    EXPECT_NE(yes.output.find("Go on with the run? [yes/no] "), std::string::npos) << yes.output;
    EXPECT_NE(yes.output.find("tesser: 5 processed, 1 failed, 0 skipped"), std::string::npos)
        << yes.output;

    // No: after the question only the other worker's file in hand is finished.
    const CommandResult no = onTerminal("no");
    const std::size_t asked = no.output.find("Go on with the run? [yes/no] ");
    ASSERT_NE(asked, std::string::npos) << no.output;
    EXPECT_LE(Occurrences(no.output.substr(asked), ": stamped"), 1) << no.output;

    // While the question waits for its answer the other worker takes up no further file, as a
    // run of one process would not; after the No none is started.
    fs::remove_all(dir_ / "state");
    std::vector<fs::path> many = Folder("many", 30, 1);
    WriteFile(many[1], "%PDF-1.4\nbroken\n");
    const std::string command = "XDG_STATE_HOME=" + Q(dir_ / "state") + " " + Quote(TESSER_BINARY) +
                                " -p " + Q(dir_ / "Quorel.ini") + " -j 2 -t Foot " +
                                Q(dir_ / "many");
    const CommandResult slow =
        test::Run("(sleep 1.5; printf 'no\\n') | script -qec " + Quote(command) + " /dev/null");
    const std::size_t question = slow.output.find("Go on with the run? [yes/no] ");
    ASSERT_NE(question, std::string::npos) << slow.output;
    const int before = Occurrences(slow.output.substr(0, question), ": stamped");
    int changed = 0;
    for (const fs::path& file : many) {
        changed += PdfText(file).find("Page 1 of 1") != std::string::npos ? 1 : 0;
    }
    EXPECT_LE(changed, before + 1) << slow.output;
    EXPECT_EQ(changed, Occurrences(slow.output, ": stamped")) << slow.output;
}

TEST_F(TesserJobs, FilesFromReadsLinesNulTerminatedNamesAndStandardInput) {
    std::vector<fs::path> files = Folder("docs", 3, 1);
    const fs::path spaced = dir_ / "docs/with space.pdf";
    const fs::path newline = dir_ / "docs/new\nline.pdf";
    fs::copy_file(files[0], spaced);
    fs::copy_file(files[0], newline);

    // Lines from a file, an empty line passed over, together with a PATH argument.
    WriteFile(dir_ / "list.txt", files[0].string() + "\n\n" + spaced.string() + "\n");
    CommandResult run =
        Tesser("-q -t Foot --files-from " + Q(dir_ / "list.txt") + " " + Q(files[1]));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    for (const fs::path& file : {files[0], spaced, files[1]}) {
        EXPECT_EQ(Occurrences(PdfText(file), "Page 1 of 1"), 1) << file;
    }
    EXPECT_EQ(Occurrences(PdfText(files[2]), "Page 1 of 1"), 0);

    // NUL-terminated names from another program on standard input: a name holding a line end.
    run = Tesser("-q -j 2 -t Foot --files-from - --null",
                 "find " + Q(dir_ / "docs") + " -name 'new*' -print0 | ");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(Occurrences(PdfText(newline), "Page 1 of 1"), 1);
    EXPECT_EQ(Occurrences(PdfText(files[2]), "Page 1 of 1"), 0);
    WriteFile(dir_ / "list0", files[2].string() + std::string(1, '\0'));
    run = Tesser("-q -t Foot --files-from - --null", "cat " + Q(dir_ / "list0") + " | ");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(Occurrences(PdfText(files[2]), "Page 1 of 1"), 1);

    // Lines on standard input; a name that is not there refuses the run before anything is done.
    run = Tesser("-q -t Foot --files-from -",
                 "printf '%s\\n' " + Q(files[1]) + " " + Q(dir_ / "missing.pdf") + " | ");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.errors.find("no such file or folder: " + (dir_ / "missing.pdf").string()),
              std::string::npos)
        << run.errors;
    EXPECT_EQ(Occurrences(PdfText(files[1]), "Page 1 of 1"), 1) << "not stamped a second time";

    // A list written with CR LF line ends names the files, not files ending in CR.
    const fs::path fresh = Folder("crlf", 1, 3).front();
    WriteFile(dir_ / "crlf.txt", fresh.string() + "\r\n");
    run = Tesser("-q -t Foot --files-from " + Q(dir_ / "crlf.txt"));
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_EQ(Occurrences(PdfText(fresh), "Page 1 of 3"), 1);

    // An empty list is a run over nothing.
    run = Tesser("-t Foot --files-from -", "printf '' | ");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find("0 processed, 0 failed, 0 skipped"), std::string::npos);
    EXPECT_EQ(Tesser("-t Foot --null " + Q(files[0])).exitCode, 2);
    EXPECT_EQ(Tesser("-t Foot --files-from - --password-stdin").exitCode, 2);
}

TEST_F(TesserJobs, CtrlCStopsEveryWorkerAndLeavesEachFileUntouchedOrComplete) {
    const std::vector<fs::path> files = Folder("docs", 24, 120);
    std::map<fs::path, std::string> bytes;
    for (const fs::path& file : files) {
        bytes[file] = ReadFile(file);
    }
    // SIGINT to tesser alone (not its process group) once the first document is done.
    const fs::path errors = dir_ / "errors.txt";
    const std::string arguments = "-j 2 -t Foot --no-optimise " + (dir_ / "docs").string();
    // A worker is a copy of tesser: the same command line.
    const std::string commandLine =
        std::string(TESSER_BINARY) + " -p " + (dir_ / "Quorel.ini").string() + " " + arguments;
    const std::string script = Command(arguments + " 2>" + Q(errors)) +
                               " &\n"
                               "pid=$!\n"
                               "for i in $(seq 1 3000); do grep -q '^\\[1/' " +
                               Q(errors) +
                               " && break; sleep 0.01; done\n"
                               "kill -INT $pid\nwait $pid\necho \"status $?\"\n"
                               "pgrep -x -f " +
                               Quote(commandLine) + " || echo 'no workers'\n";
    const CommandResult run = test::Run(script);
    const std::string stderrText = ReadFile(errors);
    EXPECT_NE(run.output.find("status 130"), std::string::npos) << run.output << stderrText;
    EXPECT_NE(run.output.find("no workers"), std::string::npos) << run.output;
    EXPECT_NE(stderrText.find("Process aborted by user."), std::string::npos) << stderrText;

    std::vector<fs::path> stamped;
    int untouched = 0;
    for (const fs::path& file : files) {
        if (ReadFile(file) == bytes[file]) {
            ++untouched;
            continue;
        }
        stamped.push_back(file);
        EXPECT_TRUE(QpdfCheckPasses(file)) << file;
        const std::string text = PdfText(file);
        EXPECT_EQ(Occurrences(text, " of 120"), 120) << file;
    }
    const int complete = static_cast<int>(stamped.size());
    EXPECT_GT(complete, 0);
    EXPECT_GT(untouched, 0) << "the run was not stopped early";
    EXPECT_EQ(Occurrences(stderrText, ": stamped"), complete) << stderrText;
    EXPECT_EQ(Names(dir_ / "docs").size(), files.size()) << "no temporary files left";

    // The files done are recorded as one run, and its undo puts them back.
    EXPECT_EQ(Occurrences(JournalText(), "\nentry "), complete);
    EXPECT_EQ(Undo().exitCode, 0);
    const fs::path original = dir_ / "original.pdf";
    for (const fs::path& file : stamped) {
        WriteFile(original, bytes[file]);
        EXPECT_EQ(Seen(file), Seen(original)) << file;
    }
}

} // namespace
} // namespace tesser::test
