// The one policy for writing over a file: what the target keeps (mode, owner, links), what a new
// file gets, and that a failure at any step leaves the target byte for byte and no temporary
// file behind.
#include "fileio/AtomicFileWriter.h"
#include "fileio/UniqueFd.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tesser::fileio::AtomicFileWriter;
using tesser::fileio::CheckReplaceable;
using tesser::fileio::FileError;
using tesser::fileio::UniqueFd;
using tesser::fileio::WriteFileAtomically;
using tesser::test::FilesIn;
using tesser::test::ReadFile;
using tesser::test::TempDir;
using tesser::test::WriteFile;

struct stat StatOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info;
}

// ---- What the target keeps ----

TEST(AtomicFileWriter, ExistingTargetKeepsItsModeAndOwner) {
    TempDir dir;
    const fs::path path = dir / "kept.txt";
    WriteFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    // Another owner can be set only with privileges; without them the file stays ours.
    const bool privileged = ::geteuid() == 0;
    const uid_t owner = privileged ? 4242 : ::geteuid();
    const gid_t group = privileged ? 4343 : ::getegid();
    if (privileged) {
        ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
    }
    const ino_t before = StatOf(path).st_ino;

    WriteFileAtomically(path.string(), "new content");

    EXPECT_EQ(ReadFile(path), "new content");
    const struct stat after = StatOf(path);
    EXPECT_NE(after.st_ino, before) << "the file is replaced, not written in place";
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, owner);
    EXPECT_EQ(after.st_gid, group);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"kept.txt"});
}

TEST(AtomicFileWriter, NewFileGetsTheModeAskedForLessTheUmask) {
    TempDir dir;
    const mode_t previous = ::umask(027);
    WriteFileAtomically((dir / "shared").string(), "a");
    WriteFileAtomically((dir / "private").string(), "b", 0600);
    ::umask(previous);
    EXPECT_EQ(StatOf(dir / "shared").st_mode & 07777, 0640u);
    EXPECT_EQ(StatOf(dir / "private").st_mode & 07777, 0600u);
}

TEST(AtomicFileWriter, LinkStaysALinkAndTheFileItNamesIsWritten) {
    TempDir dir;
    fs::create_directories(dir / "real");
    WriteFile(dir / "real" / "target", "old");
    // A relative link to an absolute one: each is resolved from its own folder.
    fs::create_symlink("real/target", dir / "link1");
    fs::create_symlink(dir / "link1", dir / "link2");
    WriteFileAtomically((dir / "link2").string(), "new");
    EXPECT_EQ(ReadFile(dir / "real" / "target"), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link1"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2"));
    EXPECT_EQ(FilesIn(dir / "real"), std::vector<std::string>{"target"});

    fs::create_symlink("made", dir / "dangling");
    WriteFileAtomically((dir / "dangling").string(), "content");
    EXPECT_EQ(ReadFile(dir / "made"), "content");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
}

// ---- Failures leave the target and no temporary file ----

TEST(AtomicFileWriter, WriterDroppedBeforeCommitLeavesTheTarget) {
    TempDir dir;
    const fs::path path = dir / "target";
    WriteFile(path, "old");
    {
        AtomicFileWriter writer(path.string());
        writer.Write("new", 3);
        writer.Finish();
        EXPECT_EQ(ReadFile(writer.TemporaryFile()), "new");
        EXPECT_EQ(fs::path(writer.TemporaryFile()).parent_path(), dir.path());
    }
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"target"});
}

TEST(AtomicFileWriter, FullDiskLeavesTheTargetByteForByte) {
    TempDir dir;
    const fs::path path = dir / "target";
    const std::string old(100, 'o');
    WriteFile(path, old);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file size limit stands in for a full disk: write() fails with EFBIG.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteFileAtomically(path.string(), std::string(100000, 'n'));
        } catch (const FileError& e) {
            const std::string text = e.what();
            const bool named = text.find("write " + dir.path().string()) == 0;
            const bool reason = text.find("File too large") != std::string::npos;
            _exit(e.stage() == FileError::Stage::Writing && named && reason ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the write succeeded, 2: not the writing error";
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"target"});
}

TEST(AtomicFileWriter, RefusalsBeforeWritingLeaveNothingBehind) {
    TempDir dir;
    fs::create_directories(dir / "folder" / "inside");
    WriteFile(dir / "plain", "not a folder");
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    struct Case {
        fs::path path;
        FileError::Stage stage;
        std::string text;
    };
    const std::vector<Case> cases = {
        {dir / "folder", FileError::Stage::Writing, "is not a regular file"},
        {dir / "plain" / "file", FileError::Stage::Opening, "Not a directory"},
        {dir / "missing" / "file", FileError::Stage::Opening, "create a temporary file in"},
        {dir / "loop1", FileError::Stage::Opening, "Too many levels of symbolic links"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        try {
            WriteFileAtomically(c.path.string(), "x");
            ADD_FAILURE() << "written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.stage(), c.stage);
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"folder", "loop1", "loop2", "plain"}));
    EXPECT_EQ(FilesIn(dir / "folder"), std::vector<std::string>{"inside"});
    EXPECT_EQ(ReadFile(dir / "plain"), "not a folder");
}

// A file the user may not write, one with other hard links, and one that would change hands
// are not replaced: each is refused before anything is written, and says why.
TEST(AtomicFileWriter, FilesThatReplacingWouldChangeOtherwiseAreRefused) {
    TempDir dir;
    WriteFile(dir / "read-only", "kept");
    ASSERT_EQ(::chmod((dir / "read-only").c_str(), 0444), 0);
    WriteFile(dir / "linked", "kept");
    fs::create_hard_link(dir / "linked", dir / "other-name");
    for (const auto& [name, said] :
         {std::pair{"read-only", "may not be changed: it is read-only for this user"},
          std::pair{"linked", "has other hard links"}}) {
        SCOPED_TRACE(name);
        try {
            WriteFileAtomically((dir / name).string(), "new");
            ADD_FAILURE() << "written";
        } catch (const FileError& e) {
            EXPECT_EQ(e.stage(), FileError::Stage::Opening);
            EXPECT_NE(std::string(e.what()).find(said), std::string::npos) << e.what();
        }
        // The checks alone (a dry run's) say the same.
        try {
            CheckReplaceable((dir / name).string());
            ADD_FAILURE() << "found replaceable";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find(said), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadFile(dir / name), "kept");
    }
    // A file that may be replaced, and a new one in a folder that takes it, pass the checks
    // without anything written; a folder that does not exist does not.
    WriteFile(dir / "plain", "kept");
    EXPECT_NO_THROW(CheckReplaceable((dir / "plain").string()));
    EXPECT_NO_THROW(CheckReplaceable((dir / "new").string()));
    EXPECT_THROW(CheckReplaceable((dir / "missing/new").string()), FileError);
    EXPECT_THROW(CheckReplaceable((dir / std::string(300, 'n')).string()), FileError);
    EXPECT_EQ(ReadFile(dir / "plain"), "kept");
    fs::remove(dir / "plain");
    EXPECT_EQ(StatOf(dir / "linked").st_nlink, 2u);
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"linked", "other-name", "read-only"}));

    // Another user's file that this user may write (here: as nobody, when the test may become
    // nobody) keeps its owner only when it is not replaced.
    if (::geteuid() != 0) {
        return;
    }
    TempDir shared;
    ASSERT_EQ(::chmod(shared.path().c_str(), 0777), 0);
    WriteFile(shared / "theirs", "kept");
    ASSERT_EQ(::chmod((shared / "theirs").c_str(), 0666), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 1;
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            try {
                WriteFileAtomically((shared / "theirs").string(), "new");
                code = 2;
            } catch (const FileError& e) {
                code = std::string(e.what()).find("belongs to another user") != std::string::npos
                           ? 0
                           : 3;
            }
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadFile(shared / "theirs"), "kept");
    EXPECT_EQ(StatOf(shared / "theirs").st_uid, 0u);
}

// A name as long as a file system allows is saved in place: the temporary name is bounded. The
// temporaries a killed process left for the same name are removed; those of a live process and
// of other names stay.
TEST(AtomicFileWriter, LongNamesSaveAndTemporariesOfGoneProcessesAreRemoved) {
    TempDir dir;
    const std::string name = std::string(250, 'n') + ".pdf";
    WriteFile(dir / name, "old");
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string prefix = "." + std::string(100, 'n') + ".tesser-save-";
    const std::string stale = prefix + std::to_string(gone) + "-0";
    const std::string live = prefix + std::to_string(::getppid()) + "-7";
    const std::string otherName = ".other.pdf.tesser-save-" + std::to_string(gone) + "-0";
    for (const std::string& temporary : {stale, live, otherName}) {
        WriteFile(dir / temporary, "partial");
    }

    WriteFileAtomically((dir / name).string(), "new");

    EXPECT_EQ(ReadFile(dir / name), "new");
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{live, otherName, name}));
}

// ---- The descriptor owner ----

TEST(UniqueFd, ClosesAtTheEndOfItsScopeAndReportsAFailedClose) {
    int raw = -1;
    {
        UniqueFd fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        raw = fd.get();
        UniqueFd moved(std::move(fd));
        EXPECT_FALSE(fd);
        EXPECT_EQ(moved.get(), raw);
    }
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1) << "still open";

    UniqueFd open(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(open.Close(), 0);
    EXPECT_FALSE(open);
    EXPECT_EQ(open.Close(), 0) << "an empty owner has nothing to close";
    // A number that names no open file: the failed close is answered, not hidden.
    EXPECT_EQ(UniqueFd(1 << 20).Close(), EBADF);
}

} // namespace
