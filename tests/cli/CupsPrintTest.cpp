// Printing through a real CUPS scheduler: a private cupsd (its own folders and socket, nothing
// of the machine's CUPS is touched) with a queue whose backend writes each job to a file.
#include "PdfFixtures.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using tesser::test::Quote;
using tesser::test::ReadFile;
inline tesser::test::CommandResult Shell(const std::string& command) {
    return tesser::test::Run(command);
}
using tesser::test::WriteFile;

namespace {

// The backend CUPS runs for "tofile:/path" queues: writes the job, then renames it into place so
// that the test never reads half a file.
const char* const kBackend = "#!/bin/sh\n"
                             "if [ $# -eq 0 ]; then echo 'direct tofile \"Unknown\" \"File\"'; "
                             "exit 0; fi\n"
                             "out=\"${DEVICE_URI#tofile:}\"\n"
                             "if [ $# -ge 6 ]; then cat \"$6\" > \"$out.part\"; "
                             "else cat > \"$out.part\"; fi && mv \"$out.part\" \"$out\"\n";

// True while the process exists and is not a zombie (nobody may reap it in a container).
bool Running(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

class PrivateCups : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0 || !fs::exists("/usr/sbin/cupsd") || !fs::exists("/usr/sbin/lpadmin") ||
            Shell("getent passwd lp >/dev/null").exitCode != 0) {
            GTEST_SKIP() << "needs root, cupsd, lpadmin and the lp user";
        }
        root_ = dir_.path();
        for (const char* sub : {"spool", "cache", "state", "log", "run", "out", "bin/backend"}) {
            fs::create_directories(root_ / sub);
        }
        for (const char* sub : {"filter", "daemon", "cgi-bin", "monitor", "notifier", "driver"}) {
            fs::create_symlink(fs::path("/usr/lib/cups") / sub, root_ / "bin" / sub);
        }
        WriteFile(root_ / "bin/backend/tofile", kBackend);
        fs::permissions(root_ / "bin/backend/tofile", fs::perms(0755));
        socket_ = (root_ / "run/cups.sock").string();
        WriteFile(root_ / "cupsd.conf", "Listen " + socket_ +
                                            "\nLogLevel warn\n<Location />\n  Order allow,deny\n"
                                            "  Allow all\n</Location>\n");
        const std::string r = root_.string();
        WriteFile(root_ / "cups-files.conf",
                  "RequestRoot " + r + "/spool\nCacheDir " + r + "/cache\nStateDir " + r +
                      "/state\nServerRoot " + r + "\nServerBin " + r + "/bin\nErrorLog " + r +
                      "/log/error_log\nAccessLog " + r + "/log/access_log\nPageLog " + r +
                      "/log/page_log\nUser lp\nGroup lp\n");
        // cupsd runs its backends as lp: give it the folders it writes.
        ASSERT_EQ(Shell("chmod 755 " + Quote(r) + " && chown -R lp:lp " + Quote(r + "/spool") +
                        " " + Quote(r + "/cache") + " " + Quote(r + "/log") + " && chmod 777 " +
                        Quote(r + "/out"))
                      .exitCode,
                  0);
        // In the foreground (-f) of a background shell job, so that its process number is known
        // and the test can end it.
        const auto started = Shell("cupsd -f -c " + Quote(r + "/cupsd.conf") + " -s " +
                                   Quote(r + "/cups-files.conf") + " >/dev/null 2>&1 & echo $!");
        ASSERT_EQ(started.exitCode, 0) << started.errors;
        pid_ = std::atoi(started.output.c_str());
        ASSERT_GT(pid_, 0) << started.output;
        bool up = false;
        for (int i = 0; i < 100 && !up; ++i) {
            up = fs::exists(socket_) && Cups("lpstat -r").exitCode == 0;
            if (!up) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        ASSERT_TRUE(up) << ReadFile(root_ / "log/error_log");
        const auto added =
            Cups("lpadmin -p tesserq -E -v " + Quote("tofile:" + r + "/out/job.pdf"));
        ASSERT_EQ(added.exitCode, 0) << added.errors;
    }

    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            for (int i = 0; i < 50 && Running(pid_); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    }

    tesser::test::CommandResult Cups(const std::string& command) {
        return Shell("CUPS_SERVER=" + Quote(socket_) + " " + command);
    }

    tesser::test::TempDir dir_;
    fs::path root_;
    std::string socket_;
    pid_t pid_ = 0;
};

TEST_F(PrivateCups, PrintedJobShowsTheStampsAndTheSourceStaysAsItWas) {
    const fs::path source = root_ / "report.pdf";
    tesser::test::WritePdf(source);
    const std::string before = ReadFile(source);
    WriteFile(root_ / "Quorel.ini", tesser::test::kFootProfile);
    fs::create_directories(root_ / "xdg-state");

    const auto run =
        Cups("XDG_STATE_HOME=" + Quote((root_ / "xdg-state").string()) + " " +
             Quote(TESSER_BINARY) + " -p " + Quote((root_ / "Quorel.ini").string()) +
             " -t Foot --print --printer tesserq " + Quote(source.string()) + " < /dev/null");
    ASSERT_EQ(run.exitCode, 0) << run.errors;

    const fs::path job = root_ / "out/job.pdf";
    for (int i = 0; i < 150 && !fs::exists(job); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(fs::exists(job)) << ReadFile(root_ / "log/error_log");
    EXPECT_TRUE(tesser::test::QpdfCheckPasses(job));
    const std::string text = tesser::test::PdfText(job);
    for (const char* line : {"Page 1 of 3", "Page 2 of 3", "Page 3 of 3"}) {
        EXPECT_NE(text.find(line), std::string::npos) << text;
    }
    EXPECT_EQ(ReadFile(source), before);
    EXPECT_FALSE(fs::exists(root_ / "xdg-state/tesser/journal")) << "a print made an undo record";
}

TEST_F(PrivateCups, UnknownQueueIsReportedAndTheRunFails) {
    const fs::path source = root_ / "report.pdf";
    tesser::test::WritePdf(source);
    WriteFile(root_ / "Quorel.ini", tesser::test::kFootProfile);
    const auto run = Cups(Quote(TESSER_BINARY) + " -p " + Quote((root_ / "Quorel.ini").string()) +
                          " -t Foot --no --print --printer no-such-queue " +
                          Quote(source.string()) + " < /dev/null");
    EXPECT_EQ(run.exitCode, 1) << run.errors;
    EXPECT_NE(run.errors.find("no-such-queue"), std::string::npos) << run.errors;
}

// The CUPS library is loaded only when something is printed: one that cannot be loaded fails the
// print with a message that names it, and nothing else needs it.
TEST(CupsLibrary, OneThatCannotBeLoadedFailsThePrintSayingSo) {
    tesser::test::TempDir dir;
    const fs::path root = dir.path();
    fs::create_directories(root / "lib");
    WriteFile(root / "lib/libcups.so.2", ""); // found first, and not a library
    const fs::path source = root / "report.pdf";
    tesser::test::WritePdf(source);
    const std::string before = ReadFile(source);
    WriteFile(root / "Quorel.ini", tesser::test::kFootProfile);
    const std::string tesser = "LD_LIBRARY_PATH=" + Quote((root / "lib").string()) +
                               " XDG_STATE_HOME=" + Quote((root / "state").string()) + " " +
                               Quote(TESSER_BINARY) + " -p " +
                               Quote((root / "Quorel.ini").string()) + " -t Foot ";
    const auto print =
        Shell(tesser + "--print --printer any " + Quote(source.string()) + " < /dev/null");
    EXPECT_EQ(print.exitCode, 1) << print.errors;
    EXPECT_NE(print.errors.find("Printing needs the CUPS library (libcups.so.2), which cannot be "
                                "loaded"),
              std::string::npos)
        << print.errors;
    EXPECT_NE(print.errors.find("0 processed, 1 failed"), std::string::npos) << print.errors;

    const auto stamp = Shell(tesser + "-q " + Quote(source.string()) + " < /dev/null");
    EXPECT_EQ(stamp.exitCode, 0) << stamp.errors;
    EXPECT_NE(ReadFile(source), before);
}

} // namespace
