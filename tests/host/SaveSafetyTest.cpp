// Saving never loses the original: failed saves, a full disk, kill -9 during saves, links,
// modes, signed documents.
#include "tests/host/HostTestSupport.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tesser::host::test {
namespace {

using tesser::test::ReadFile;

class SaveSafety : public HostTest {
protected:
    // Opens the file, changes it, and answers the document.
    HDoc OpenChanged(const std::filesystem::path& file) {
        HDoc doc = OpenOk(file);
        EXPECT_TRUE(Ok(model->SetDocInfo(doc, "Title", "changed", 7)));
        return doc;
    }

    std::vector<std::string> LeftoverTemporaries() {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            if (entry.path().filename().string().find(".tesser-save-") != std::string::npos) {
                found.push_back(entry.path().filename());
            }
        }
        return found;
    }
};

class InjectedSaveFailure : public SaveSafety, public ::testing::WithParamInterface<const char*> {};

TEST_P(InjectedSaveFailure, LeavesTheOriginalByteForByteAndNamesTheFile) {
    auto file = dir / "keep.pdf";
    MakePdf(file, PdfSpec{.pages = 40});
    std::string before = ReadFile(file);
    HDoc doc = OpenChanged(file);
    FaultSwitch::Arm(GetParam(), 1);
    HErrorCode code = Save(doc, file);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_TRUE(LeftoverTemporaries().empty());
    int32_t flags = 0;
    model->GetDocumentFlags(doc, &flags);
    EXPECT_EQ(flags & kHDocNeedsSave, kHDocNeedsSave) << "the changes are still unsaved";
    // The document is still usable and the next save works.
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(file));
}

INSTANTIATE_TEST_SUITE_P(Points, InjectedSaveFailure, ::testing::ValuesIn(kSaveFaultPoints),
                         SaveFaultPointName);

TEST_F(SaveSafety, FullDiskLeavesTheOriginalAndReportsTheFile) {
    auto file = dir / "full.pdf";
    MakePdf(file, PdfSpec{.pages = 200});
    std::string before = ReadFile(file);
    // A child process with a file size limit below the file's size: every write past it fails
    // with EFBIG, as on a full disk.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(before.size() / 2),
                     static_cast<rlim_t>(before.size() / 2)};
        setrlimit(RLIMIT_FSIZE, &limit);
        HDoc doc = OpenChanged(file);
        HErrorCode code = Save(doc, file);
        std::string text = Text(code);
        bool named = text.find(file.string()) != std::string::npos;
        bool reason = text.find("File too large") != std::string::npos;
        _exit(code == kHErrNone ? 10 : !named ? 11 : !reason ? 12 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: save reported success, 11: file not named, "
                                         "12: reason missing";
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_TRUE(LeftoverTemporaries().empty());
}

TEST_F(SaveSafety, ReadOnlyFolderFailsCleanly) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    auto sub = dir / "ro";
    std::filesystem::create_directory(sub);
    auto file = sub / "f.pdf";
    MakePdf(file);
    std::string before = ReadFile(file);
    HDoc doc = OpenChanged(file);
    chmod(sub.c_str(), 0555);
    HErrorCode code = Save(doc, file);
    chmod(sub.c_str(), 0755);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    EXPECT_EQ(ReadFile(file), before);
    model->CloseDocument(doc);
}

TEST_F(SaveSafety, KillDuringSavesLeavesOldOrNewValidFile) {
    auto file = dir / "killed.pdf";
    MakePdf(file, PdfSpec{.pages = 100});
    // Kill moments are spread around the time one open and save takes here and now, so that the
    // rounds see both outcomes however loaded the machine or slow the build (sanitizers) is.
    auto started = std::chrono::steady_clock::now();
    pid_t calibration = fork();
    ASSERT_GE(calibration, 0);
    if (calibration == 0) {
        HDoc doc = OpenOk(file);
        model->SetDocInfo(doc, "Title", "calibration", 11);
        _exit(Save(doc, file) == kHErrNone ? 0 : 3);
    }
    int calibrationStatus = 0;
    waitpid(calibration, &calibrationStatus, 0);
    ASSERT_TRUE(WIFEXITED(calibrationStatus) && WEXITSTATUS(calibrationStatus) == 0);
    const auto oneSave = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
    std::mt19937 random(12345);
    std::uniform_int_distribution<long> delay(oneSave / 4, oneSave * 3);
    int oldSeen = 0, newSeen = 0;
    for (int round = 0; round < 50; ++round) {
        std::string before = ReadFile(file);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            HDoc doc = OpenOk(file);
            for (int i = 0;; ++i) {
                std::string title = "round " + std::to_string(round) + " save " + std::to_string(i);
                model->SetDocInfo(doc, "Title", title.data(), title.size());
                if (Save(doc, file) != kHErrNone) {
                    _exit(3);
                }
            }
        }
        usleep(static_cast<useconds_t>(delay(random)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself";
        std::string after = ReadFile(file);
        if (after == before) {
            ++oldSeen;
        } else {
            ++newSeen;
        }
        EXPECT_TRUE(ReadsWholeWithPages(file, 100)) << "round " << round;
        for (const auto& name : LeftoverTemporaries()) {
            std::filesystem::remove(dir / name); // a killed save leaves its temporary file
        }
    }
    EXPECT_TRUE(QpdfCheckPasses(file));
    EXPECT_GT(newSeen, 0);
    RecordProperty("old", oldSeen);
    RecordProperty("new", newSeen);
}

TEST_F(SaveSafety, ModeIsKept) {
    auto file = dir / "mode.pdf";
    MakePdf(file);
    chmod(file.c_str(), 0640);
    HDoc doc = OpenChanged(file);
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A full save tells its progress, so that a window can repaint and take an Abort click while a
// long document is written; the percentages rise to 100.
TEST_F(SaveSafety, AFullSaveReportsItsProgress) {
    auto file = dir / "long.pdf";
    MakeManyPagesPdf(file, 400);
    std::vector<int> seen;
    host.SetSaveProgress([&seen](int percent) { seen.push_back(percent); });
    HDoc doc = OpenChanged(file);
    ASSERT_TRUE(Ok(Save(doc, dir / "long-saved.pdf")));
    host.SetSaveProgress({});
    model->CloseDocument(doc);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(QpdfCheckPasses(dir / "long-saved.pdf"));
}

TEST_F(SaveSafety, SymbolicLinkStaysALinkAndItsTargetIsWritten) {
    auto sub = dir / "real";
    std::filesystem::create_directory(sub);
    auto target = sub / "target.pdf";
    auto link = dir / "link.pdf";
    MakePdf(target);
    std::filesystem::create_symlink("real/target.pdf", link);
    HDoc doc = OpenChanged(link);
    ASSERT_TRUE(Ok(Save(doc, link)));
    model->CloseDocument(doc);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), "real/target.pdf");
    HDoc again = OpenOk(target);
    EXPECT_EQ(InfoEntry(again, "Title"), "changed");
    model->CloseDocument(again);
}

TEST_F(SaveSafety, DocumentStaysReadableAfterItsFileWasReplaced) {
    auto file = dir / "twice.pdf";
    MakePdf(file, PdfSpec{.pages = 20});
    HDoc doc = OpenChanged(file);
    ASSERT_TRUE(Ok(Save(doc, file)));
    ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Author", "second", 6)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(file));
    auto text = Shell("pdftotext " + Quote(file) + " -");
    EXPECT_NE(text.output.find("Page 20"), std::string::npos);
}

TEST_F(SaveSafety, SignedDocumentIsRefusedBecauseSavingWouldBreakSignatures) {
    auto file = dir / "signed.pdf";
    MakeSignedPdf(file);
    std::string before = ReadFile(file);
    HDoc doc = OpenChanged(file);
    HErrorCode code = Save(doc, file);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("signatures"), std::string::npos) << Text(code);
    EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    EXPECT_EQ(ReadFile(file), before);
    model->CloseDocument(doc);
}

TEST_F(SaveSafety, UnsignedSignatureFieldDoesNotBlockTheSave) {
    auto made = dir / "made.pdf";
    auto file = dir / "unsigned.pdf";
    MakePdf(made);
    QPDF pdf;
    pdf.processFile(made.c_str());
    auto field = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /FT /Sig /T (Empty) >>"));
    auto form = QPDFObjectHandle::newDictionary();
    form.replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
    pdf.getRoot().replaceKey("/AcroForm", form);
    QPDFWriter w(pdf, file.c_str());
    w.write();
    HDoc doc = OpenChanged(file);
    EXPECT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
}

} // namespace
} // namespace tesser::host::test
