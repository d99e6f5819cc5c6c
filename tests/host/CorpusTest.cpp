// Files written by others (QPDF's damaged-file tests): each opens or fails with a clear host
// error, within a time limit, without crashing.
#include "tests/host/HostTestSupport.h"

#include <fstream>

namespace tesser::host::test {
namespace {

TEST(CorpusFiles, EachOpensOrFailsWithAClearError) {
    std::filesystem::path corpus = std::filesystem::path(TESSER_CORPUS_DIR) / "qpdf-upstream";
    std::ifstream list(corpus / "FILES.txt");
    if (!list) {
        GTEST_SKIP() << "no corpus at " << corpus;
    }
    TempDir scratch;
    int opened = 0, refused = 0;
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty()) {
            continue;
        }
        auto file = corpus / line;
        // ASan and UBSan report with their own exit codes, told apart from a refusal (1). The
        // limit catches a hang: one file (fuzz/qpdf_extra/69977d.fuzz) takes the PDF library
        // itself close to a minute to repair, longer in the sanitizer build on a busy machine.
        auto result = Shell("ASAN_OPTIONS=exitcode=86:detect_leaks=1 UBSAN_OPTIONS=exitcode=87 "
                            "timeout -s KILL 240 " HOST_OPEN_DRIVER " " +
                            Quote(file.string()) + " " + Quote(scratch.path().string()));
        SCOPED_TRACE(line + ": " + result.output + result.errors.substr(0, 2000));
        EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1)
            << "exit " << result.exitCode << " (137: time limit, 86/87: sanitizer, 2: no message)";
        if (result.exitCode == 1) {
            ++refused;
            EXPECT_FALSE(result.output.empty());
        } else if (result.exitCode == 0) {
            ++opened;
        }
    }
    RecordProperty("opened", opened);
    RecordProperty("refused", refused);
    std::printf("corpus: %d opened, %d refused with an error\n", opened, refused);
}

} // namespace
} // namespace tesser::host::test
