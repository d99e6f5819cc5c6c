// tesser --incremental: runs that append their changes to the files, and undo runs that append
// the way back. Through the built binary; results read by qpdf, poppler-utils and pdfsig.
#include "TesserHomeTest.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace tesser::test {
namespace {

namespace fs = std::filesystem;

const char* const kStamp = "--text 'Appended <PageNumber> of <PageCount>' --x 1 --y 1";

bool HasTool(const std::string& name) {
    return test::Run("command -v " + Quote(name) + " > /dev/null").exitCode == 0;
}

class IncrementalRun : public TesserHomeTest {
protected:
    // The file is the first bytes of what it became.
    static ::testing::AssertionResult StartsWith(const fs::path& file, const std::string& bytes) {
        const std::string now = ReadFile(file);
        if (now.size() > bytes.size() && now.compare(0, bytes.size(), bytes) == 0) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << file << " (" << now.size() << " bytes) does not begin with the " << bytes.size()
               << " bytes it had";
    }
};

TEST_F(IncrementalRun, AppendsWhatAFullSaveWritesAndItsUndoCutsTheFileBack) {
    const fs::path file =
        Pdf("a.pdf", PdfSpec{.pages = 4, .withInfo = true, .pageMode = {}, .label = "Page"});
    const fs::path full =
        Pdf("full.pdf", PdfSpec{.pages = 4, .withInfo = true, .pageMode = {}, .label = "Page"});
    const std::string original = ReadFile(file);
    const DocumentView before = ViewDocument(file);
    ASSERT_TRUE(before.ok);

    ASSERT_EQ(
        Tesser(std::string("-q --no-optimise ") + kStamp + " --title Appended " + Q(full)).exitCode,
        0);
    const CommandResult run =
        Tesser(std::string("-q --incremental ") + kStamp + " --title Appended " + Q(file));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(StartsWith(file, original));
    EXPECT_TRUE(QpdfCheckPasses(file));
    const std::string text = PdfText(file);
    EXPECT_NE(text.find("Appended 1 of 4"), std::string::npos) << text;
    EXPECT_NE(text.find("Appended 4 of 4"), std::string::npos) << text;
    // Object for object the same document as the full save's: qpdf numbers both anew in the
    // order it reaches their objects. Compared: the objects (not the cross-reference table and
    // the trailer, where the full save's new /ID shows).
    const auto withoutOriginalIds = [](std::string qdf) {
        qdf = qdf.substr(0, qdf.rfind("\nxref\n"));
        std::string kept;
        std::size_t from = 0;
        while (from < qdf.size()) {
            std::size_t end = qdf.find('\n', from);
            end = end == std::string::npos ? qdf.size() : end + 1;
            if (qdf.compare(from, 21, "%% Original object ID") != 0) {
                kept.append(qdf, from, end - from);
            }
            from = end;
        }
        return kept;
    };
    const std::string appended = withoutOriginalIds(NormalisedQdf(file));
    ASSERT_FALSE(appended.empty());
    EXPECT_EQ(appended, withoutOriginalIds(NormalisedQdf(full)));

    // The file is what the run wrote: the undo gives back the original bytes.
    const CommandResult undo = Tesser("-q --undo");
    ASSERT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_EQ(ReadFile(file), original);

    // Two runs appended one after the other come off newest first, each to the bytes it found.
    ASSERT_EQ(
        Tesser(std::string("-q --incremental ") + kStamp + " --title Appended " + Q(file)).exitCode,
        0);
    const std::string stamped = ReadFile(file);
    ASSERT_EQ(Tesser("-q --incremental --subject Later " + Q(file)).exitCode, 0);
    ASSERT_EQ(Tesser("-q --undo").exitCode, 0);
    EXPECT_EQ(ReadFile(file), stamped);
    ASSERT_EQ(Tesser("-q --undo").exitCode, 0);
    EXPECT_EQ(ReadFile(file), original);
    EXPECT_TRUE(QpdfCheckPasses(file));
    const DocumentView after = ViewDocument(file);
    EXPECT_EQ(after.pageContents, before.pageContents);
    EXPECT_EQ(after.info, before.info);
}

TEST_F(IncrementalRun, AFileTesserLinearisedTakesAnAppendedRevision) {
    const fs::path file = Pdf("l.pdf");
    ASSERT_EQ(Tesser("-q --title First " + Q(file)).exitCode, 0); // optimised by default
    ASSERT_NE(
        test::Run("qpdf --check-linearization " + Q(file)).output.find("no linearization errors"),
        std::string::npos);
    const std::string linearised = ReadFile(file);
    const CommandResult run = Tesser(std::string("-q --incremental ") + kStamp + " " + Q(file));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(StartsWith(file, linearised));
    EXPECT_TRUE(QpdfCheckPasses(file));
    EXPECT_NE(PdfText(file).find("Appended 3 of 3"), std::string::npos);
}

struct Method {
    const char* name;
    const char* encrypt; // qpdf's arguments after "--encrypt user owner"
    const char* shown;   // in qpdf --show-encryption
};
void PrintTo(const Method& method, std::ostream* os) {
    *os << method.name;
}

class IncrementalRunEncrypted : public IncrementalRun,
                                public ::testing::WithParamInterface<Method> {};

TEST_P(IncrementalRunEncrypted, StaysReadableWithItsPasswordsAndItsOwnEncryption) {
    const fs::path plain = Pdf("plain.pdf");
    const fs::path file = dir_ / "secret.pdf";
    const CommandResult encrypt =
        test::Run("qpdf --allow-weak-crypto --encrypt usr own " + std::string(GetParam().encrypt) +
                  " -- " + Q(plain) + " " + Q(file));
    ASSERT_EQ(encrypt.exitCode, 0) << encrypt.errors;
    const std::string original = ReadFile(file);
    const std::string security =
        test::Run("qpdf --show-encryption --password=own " + Q(file)).output;
    ASSERT_NE(security.find(GetParam().shown), std::string::npos) << security;
    const DocumentView before = ViewDocument(file, "usr");

    const CommandResult run = Tesser(std::string("-q --incremental --current-password usr ") +
                                     kStamp + " --subject Secret " + Q(file));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(StartsWith(file, original));
    EXPECT_TRUE(QpdfCheckPasses(file, "usr"));
    EXPECT_TRUE(QpdfCheckPasses(file, "own"));
    EXPECT_FALSE(QpdfCheckPasses(file)) << "it still needs a password";
    EXPECT_EQ(test::Run("qpdf --show-encryption --password=own " + Q(file)).output, security);
    EXPECT_NE(PdfText(file, "usr").find("Appended 2 of 3"), std::string::npos);
    const CommandResult info = test::Run("pdfinfo -upw usr " + Q(file));
    EXPECT_NE(info.output.find("Secret"), std::string::npos) << info.output;

    const CommandResult undo = Tesser("-q --undo");
    ASSERT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_EQ(ReadFile(file), original) << "cut back to the bytes the run found";
    EXPECT_TRUE(QpdfCheckPasses(file, "usr"));
    EXPECT_EQ(ViewDocument(file, "usr").pageContents, before.pageContents);
}

INSTANTIATE_TEST_SUITE_P(Files, IncrementalRunEncrypted,
                         ::testing::Values(Method{"Rc4", "128 --use-aes=n", "R = 3"},
                                           Method{"Aes128", "128 --use-aes=y", "AESv2"},
                                           Method{"Aes256", "256", "AESv3"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IncrementalRun, ASignedFileIsStampedAndItsSignatureStaysValidForItsRevision) {
    for (const char* tool : {"pdfsig", "certutil"}) {
        if (!HasTool(tool)) {
            GTEST_SKIP() << tool << " is not installed (packages poppler-utils, libnss3-tools)";
        }
    }
    // A throw-away signing certificate in an NSS database of the test's own.
    const fs::path nss = dir_ / "nss";
    fs::create_directories(nss);
    const std::string db = "sql:" + nss.string();
    WriteFile(dir_ / "noise", std::string(64, 'n') + std::to_string(::getpid()));
    ASSERT_EQ(test::Run("certutil -N -d " + Quote(db) + " --empty-password").exitCode, 0);
    const CommandResult cert =
        test::Run("certutil -S -d " + Quote(db) +
                  " -n tester -s 'CN=Tesser Test' -x -t CTu,Cu,Cu -k rsa -g 2048 -v 12 -z " +
                  Q(dir_ / "noise") + " --keyUsage digitalSignature,nonRepudiation");
    ASSERT_EQ(cert.exitCode, 0) << cert.errors;
    const fs::path unsigned_ = Pdf("unsigned.pdf");
    const fs::path file = dir_ / "signed.pdf";
    const CommandResult sign =
        test::Run("pdfsig -nssdir " + Quote(db) + " -add-signature -nick tester " + Q(unsigned_) +
                  " " + Q(file));
    ASSERT_EQ(sign.exitCode, 0) << sign.errors;
    auto verify = [&] { return test::Run("pdfsig -nssdir " + Quote(db) + " " + Q(file)).output; };
    const std::string signedReport = verify();
    ASSERT_NE(signedReport.find("Signature is Valid."), std::string::npos) << signedReport;
    const std::string signedBytes = ReadFile(file);

    // A full save would break the signature: refused, and the file is left alone.
    const CommandResult refused = Tesser(std::string("--no-optimise ") + kStamp + " " + Q(file));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.errors.find("signatures"), std::string::npos) << refused.errors;
    EXPECT_EQ(ReadFile(file), signedBytes);
    // So would the dry run say, and with --incremental it would save.
    const CommandResult dryFull =
        Tesser(std::string("--dry-run --no-optimise ") + kStamp + " " + Q(file));
    EXPECT_EQ(dryFull.exitCode, 1);
    EXPECT_NE(dryFull.output.find("would fail: "), std::string::npos) << dryFull.output;
    EXPECT_NE(dryFull.output.find("signatures"), std::string::npos) << dryFull.output;
    const CommandResult dryAppend =
        Tesser(std::string("--dry-run --incremental ") + kStamp + " " + Q(file));
    EXPECT_EQ(dryAppend.exitCode, 0) << dryAppend.output;
    EXPECT_NE(dryAppend.output.find("save to " + file.string()), std::string::npos)
        << dryAppend.output;
    EXPECT_EQ(ReadFile(file), signedBytes);

    const CommandResult run = Tesser(std::string("-q --incremental ") + kStamp + " " + Q(file));
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(StartsWith(file, signedBytes));
    EXPECT_TRUE(QpdfCheckPasses(file));
    EXPECT_NE(PdfText(file).find("Appended 1 of 3"), std::string::npos);
    // Valid, over the same byte ranges: its revision, no longer the whole file.
    const std::string report = verify();
    EXPECT_NE(report.find("Signature is Valid."), std::string::npos) << report;
    const auto ranges = [](const std::string& r) {
        const auto at = r.find("Signed Ranges:");
        return at == std::string::npos ? std::string() : r.substr(at, r.find('\n', at) - at);
    };
    EXPECT_FALSE(ranges(report).empty()) << report;
    EXPECT_EQ(ranges(report), ranges(signedReport));
    EXPECT_EQ(report.find("Total document signed"), std::string::npos) << report;

    const CommandResult undo = Tesser("-q --undo");
    ASSERT_EQ(undo.exitCode, 0) << undo.errors;
    EXPECT_EQ(PdfText(file).find("Appended"), std::string::npos);
    const std::string undone = verify();
    EXPECT_NE(undone.find("Signature is Valid."), std::string::npos) << undone;
    // The signed bytes are the whole file again: the signature covers all of it.
    EXPECT_EQ(ReadFile(file), signedBytes);
    EXPECT_EQ(ranges(undone), ranges(signedReport));
}

TEST_F(IncrementalRun, SecurityChangesAndPrintingAreRefusedAsUsage) {
    const fs::path file = Pdf("u.pdf");
    const std::string original = ReadFile(file);
    const CommandResult security =
        Tesser(std::string("--incremental --owner-password x ") + kStamp + " " + Q(file));
    EXPECT_EQ(security.exitCode, 2);
    EXPECT_NE(security.errors.find("--incremental cannot change security"), std::string::npos)
        << security.errors;
    const CommandResult print = Tesser(std::string("--incremental --print --print-to-file ") +
                                       Q(dir_ / "p.pdf") + " " + kStamp + " " + Q(file));
    EXPECT_EQ(print.exitCode, 2);
    EXPECT_EQ(ReadFile(file), original);
}

} // namespace
} // namespace tesser::test
