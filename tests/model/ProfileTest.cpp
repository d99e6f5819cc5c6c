#include "model/Profile.h"
#include "model/AtomicFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace tesser::model;
using tesser::test::FilesIn;
using tesser::test::ReadFile;
using tesser::test::TempDir;
using tesser::test::WriteFile;
namespace fs = std::filesystem;

namespace {

// Collects what the profile would show to the user, for the lifetime of the object.
class MessageRecorder {
public:
    MessageRecorder() {
        previous_ =
            SetProfileMessageSink([this](const std::string& title, const std::string& text) {
                messages.emplace_back(title, text);
            });
    }
    ~MessageRecorder() { SetProfileMessageSink(std::move(previous_)); }
    std::vector<std::pair<std::string, std::string>> messages;

private:
    ProfileMessageSink previous_;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (hadOld_) {
            setenv(name_.c_str(), old_.c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::string old_;
    bool hadOld_ = false;
};

} // namespace

TEST(ProfileReading, SectionsAndKeysAreExactAndCaseSensitive) {
    Profile p;
    p.LoadText("[A]\r\nx = 1\r\n[a]\nx=2\nx=3\n");
    EXPECT_EQ(p.GetString("A", "x ", "absent"), " 1");
    EXPECT_EQ(p.GetString("A", "x", "absent"), "absent");
    EXPECT_EQ(p.GetString("a", "x"), "3");
    EXPECT_EQ(p.Sections().size(), 2u);
}

TEST(ProfileReading, KeysBeforeAnyHeaderAreIgnored) {
    Profile p;
    p.LoadText("early=1\r\n[S] trailing text\r\nlate=2\r\n");
    ASSERT_EQ(p.Sections().size(), 1u);
    EXPECT_EQ(p.Sections().at("S").size(), 1u);
    EXPECT_EQ(p.GetString("S", "late"), "2");
    EXPECT_EQ(p.GetString("S", "early", "none"), "none");
}

TEST(ProfileReading, ValueKeepsFurtherEqualsSignsAndOtherLinesAreIgnored) {
    Profile p;
    p.LoadText("[S]\r\n; a comment\r\nk=a=b\r\n=empty key\r\n\r\n\r\n");
    EXPECT_EQ(p.GetString("S", "k"), "a=b");
    EXPECT_EQ(p.GetString("S", ""), "empty key");
    EXPECT_EQ(p.Sections().at("S").size(), 2u);
}

TEST(ProfileReading, HeaderLineWithEqualsSignAlsoSetsAKey) {
    Profile p;
    p.LoadText("[x=y]\r\n");
    EXPECT_EQ(p.GetString("x=y", "[x"), "y]");
}

TEST(ProfileReading, TrailingCarriageReturnsAndLineFeedsAreRemoved) {
    Profile p;
    p.LoadText("[S]\r\r\nk=v\r\r\r\nm=a\rb\n");
    EXPECT_EQ(p.GetString("S", "k"), "v");
    EXPECT_EQ(p.GetString("S", "m"), "a\rb");
}

TEST(ProfileReading, LongLinesAreReadWhole) {
    const std::string value(10000, 'v');
    Profile p;
    p.LoadText("[S]\r\nkey=" + value + "=tail\r\nnext=1\r\n");
    EXPECT_EQ(p.GetString("S", "key"), value + "=tail");
    EXPECT_EQ(p.Sections().at("S").size(), 2u);
}

TEST(ProfileReading, MissingFileReadsAsEmptyStore) {
    TempDir dir;
    Profile p(dir / "absent.ini");
    EXPECT_EQ(p.GetString("S", "k", "default"), "default");
    EXPECT_FALSE(p.IsChanged());
    EXPECT_TRUE(p.Save());
    EXPECT_FALSE(fs::exists(dir / "absent.ini"));
}

TEST(ProfileReading, FileIsReadLazilyOnFirstAccess) {
    TempDir dir;
    Profile p(dir / "p.ini");
    WriteFile(dir / "p.ini", "[S]\nk=written after construction\n");
    EXPECT_EQ(p.GetString("S", "k"), "written after construction");
    WriteFile(dir / "p.ini", "[S]\nk=changed later\n");
    EXPECT_EQ(p.GetString("S", "k"), "written after construction");
}

TEST(ProfileTypedReaders, TrimmedString) {
    Profile p;
    p.LoadText("[S]\r\nk= \t value \v\f\r\n");
    EXPECT_EQ(p.GetTrimmedString("S", "k"), "value");
    EXPECT_EQ(p.GetTrimmedString("S", "absent", "  fallback "), "fallback");
}

TEST(ProfileTypedReaders, EscapedStringIsUnescapedLeftToRight) {
    Profile p;
    p.LoadText("[S]\r\nk=a\\nb\\rc\\\\d\\xe\\\r\nt= spaced \r\n");
    EXPECT_EQ(p.GetEscapedString("S", "k"), "a\nb\rc\\dxe");
    EXPECT_EQ(p.GetEscapedString("S", "t"), " spaced ");
    EXPECT_EQ(p.GetEscapedString("S", "absent", "x\\ny"), "x\ny");
}

TEST(ProfileTypedReaders, BoolIgnoresCaseAndFallsBackOnOtherWords) {
    Profile p;
    p.LoadText("[S]\r\na=true\r\nb= False \r\nc=yes\r\nd=1\r\n");
    EXPECT_TRUE(p.GetBool("S", "a", false));
    EXPECT_FALSE(p.GetBool("S", "b", true));
    EXPECT_TRUE(p.GetBool("S", "c", true));
    EXPECT_FALSE(p.GetBool("S", "c", false));
    EXPECT_FALSE(p.GetBool("S", "d", false));
    EXPECT_TRUE(p.GetBool("S", "absent", true));
}

TEST(ProfileTypedReaders, IntReadsTheLeadingNumber) {
    Profile p;
    p.LoadText("[S]\r\na=12abc\r\nb=abc\r\nc= -7 \r\nd=+5\r\ne=99999999999\r\nf=-99999999999\r\n"
               "g=2147483647\r\nh=-2147483648\r\n");
    EXPECT_EQ(p.GetInt("S", "a", 3), 12);
    EXPECT_EQ(p.GetInt("S", "b", 3), 0);
    EXPECT_EQ(p.GetInt("S", "c", 3), -7);
    EXPECT_EQ(p.GetInt("S", "d", 3), 5);
    EXPECT_EQ(p.GetInt("S", "e", 3), INT32_MAX);
    EXPECT_EQ(p.GetInt("S", "f", 3), INT32_MIN);
    EXPECT_EQ(p.GetInt("S", "g", 3), INT32_MAX);
    EXPECT_EQ(p.GetInt("S", "h", 3), INT32_MIN);
    EXPECT_EQ(p.GetInt("S", "absent", 3), 3);
}

TEST(ProfileTypedReaders, IntInRangeClamps) {
    Profile p;
    p.LoadText("[S]\r\nlow=-5\r\nhigh=20000000\r\nmid=7\r\n");
    EXPECT_EQ(p.GetIntInRange("S", "low", 1, 0, 16777215), 0);
    EXPECT_EQ(p.GetIntInRange("S", "high", 1, 0, 16777215), 16777215);
    EXPECT_EQ(p.GetIntInRange("S", "mid", 1, 0, 16777215), 7);
    EXPECT_EQ(p.GetIntInRange("S", "absent", 1, 0, 16777215), 1);
}

TEST(ProfileTypedReaders, DoubleReadsTheLeadingNumberAndClamps) {
    Profile p;
    p.LoadText("[S]\r\na=12.5pt\r\nb=letters\r\nc=-90.000000\r\nd=1e400\r\ne=-1e400\r\n");
    EXPECT_EQ(p.GetDouble("S", "a", 1), 12.5);
    EXPECT_EQ(p.GetDouble("S", "b", 1), 0);
    EXPECT_EQ(p.GetDouble("S", "absent", 1.25), 1.25);
    EXPECT_EQ(p.GetDoubleInRange("S", "b", 12, 1, 1000), 1);
    EXPECT_EQ(p.GetDoubleInRange("S", "c", 0, -360, 360), -90);
    EXPECT_EQ(p.GetDoubleInRange("S", "d", 0, -1000000, 1000000), 1000000);
    EXPECT_EQ(p.GetDoubleInRange("S", "e", 0, -1000000, 1000000), -1000000);
}

TEST(ProfileWriters, TypedValuesAreWrittenInTheirFormats) {
    Profile p;
    p.LoadText("");
    p.SetBool("S", "b", true);
    p.SetBool("S", "f", false);
    p.SetInt("S", "i", -42);
    p.SetDouble("S", "d", 12);
    p.SetDouble("S", "big", 1e30);
    p.SetEscapedString("S", "e", "line\r\nback\\slash");
    EXPECT_EQ(p.GetString("S", "b"), "TRUE");
    EXPECT_EQ(p.GetString("S", "f"), "FALSE");
    EXPECT_EQ(p.GetString("S", "i"), "-42");
    EXPECT_EQ(p.GetString("S", "d"), "12.000000");
    EXPECT_EQ(p.GetString("S", "big"), "1000000000000000019884624838656.000000");
    EXPECT_EQ(p.GetString("S", "e"), "line\\r\\nback\\\\slash");
    EXPECT_EQ(p.GetEscapedString("S", "e"), "line\r\nback\\slash");
    EXPECT_TRUE(p.IsChanged());
    p.Clear();
}

TEST(ProfileFile, WritesSortedSectionsWithCrLfLineEnds) {
    TempDir dir;
    {
        Profile p(dir / "Quorel.ini");
        p.SetString("b", "2", "x");
        p.SetString("b", "10", "y");
        p.SetString("B", "k", "z");
    }
    EXPECT_EQ(ReadFile(dir / "Quorel.ini"), "[B]\r\nk=z\r\n\r\n[b]\r\n10=y\r\n2=x\r\n\r\n");
}

TEST(ProfileFile, SectionOnlyReadIsWrittenAsAnEmptySection) {
    TempDir dir;
    {
        Profile p(dir / "Quorel.ini");
        EXPECT_EQ(p.GetString("Empty", "k", "d"), "d");
        p.SetInt("Other", "n", 1);
    }
    EXPECT_EQ(ReadFile(dir / "Quorel.ini"), "[Empty]\r\n\r\n[Other]\r\nn=1\r\n\r\n");
}

TEST(ProfileFile, ReadsOnlyStoreLeavesTheFileUntouched) {
    TempDir dir;
    const fs::path path = dir / "Quorel.ini";
    WriteFile(path, "[S]\nk=1\n");
    const fs::file_time_type old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(path, old);
    {
        Profile p(path);
        EXPECT_EQ(p.GetInt("S", "k", 0), 1);
        EXPECT_EQ(p.GetString("Missing", "k"), "");
    }
    EXPECT_EQ(fs::last_write_time(path), old);
    EXPECT_EQ(ReadFile(path), "[S]\nk=1\n");
}

TEST(ProfileFile, EscapedTextIsOneLineAndComesBack) {
    TempDir dir;
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "line " + std::to_string(i) + " \\ back\\slash\r\n";
    }
    text.resize(10000);
    {
        Profile p(dir / "Quorel.ini");
        p.SetEscapedString("S", "Text", text);
    }
    const std::string file = ReadFile(dir / "Quorel.ini");
    // "[S]", the key line and the empty line: three lines, whatever the text holds.
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 3);
    EXPECT_GT(file.size(), 10000u);
    Profile q(dir / "Quorel.ini");
    EXPECT_EQ(q.GetEscapedString("S", "Text"), text);
}

TEST(ProfileFile, ClearRewritesOnlyNewSettings) {
    TempDir dir;
    const fs::path path = dir / "Quorel.ini";
    WriteFile(path, "[Old]\r\nk=1\r\n");
    {
        Profile p(path);
        EXPECT_EQ(p.GetInt("Old", "k", 0), 1);
        p.Clear();
        EXPECT_FALSE(p.IsChanged());
        p.SetInt("New", "k", 2);
    }
    EXPECT_EQ(ReadFile(path), "[New]\r\nk=2\r\n\r\n");
}

TEST(ProfileFile, ClearWithoutReadingDoesNotReadTheFile) {
    TempDir dir;
    const fs::path path = dir / "Quorel.ini";
    WriteFile(path, "[S]\r\nk=1\r\n");
    Profile p(path);
    p.Clear();
    EXPECT_EQ(p.GetString("S", "k", "none"), "none");
}

TEST(ProfilePath, DefaultFolderFollowsXdgConfigHome) {
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/somewhere/config");
        EXPECT_EQ(DefaultProfileFolder(), fs::path("/somewhere/config"));
        EXPECT_EQ(DefaultProfilePath(), fs::path("/somewhere/config/Quorel.ini"));
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(DefaultProfilePath(), fs::path("/home/someone/.config/Quorel.ini"));
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", "relative/path");
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(DefaultProfileFolder(), fs::path("/home/someone/.config"));
    }
}

TEST(ProfilePath, SetFileNameUsesOnlyTheFileNamePart) {
    ScopedEnv config("XDG_CONFIG_HOME", "/cfg/");
    Profile p;
    p.SetFileName("Quorel.ini");
    EXPECT_EQ(p.Path(), fs::path("/cfg/Quorel.ini"));
    p.SetFileName("some/other/folder/Other.ini");
    EXPECT_EQ(p.Path(), fs::path("/cfg/Other.ini"));
    p.SetPath("relative/explicit.ini");
    EXPECT_EQ(p.Path(), fs::path("relative/explicit.ini"));
}

TEST(ProfilePath, SaveCreatesAMissingConfigFolder) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", (dir.path() / "fresh" / "config").c_str());
    {
        Profile p;
        p.SetFileName("Quorel.ini");
        p.SetInt("S", "k", 1);
        EXPECT_TRUE(p.Save());
    }
    EXPECT_EQ(ReadFile(dir / "fresh/config/Quorel.ini"), "[S]\r\nk=1\r\n\r\n");
}

TEST(ProfileAtomicSave, ReplacesTheFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const fs::path path = dir / "Quorel.ini";
    WriteFile(path, std::string(100000, 'x'));
    Profile p(path);
    p.Clear();
    p.SetString("S", "k", "v");
    EXPECT_TRUE(p.Save());
    EXPECT_FALSE(p.IsChanged());
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=v\r\n\r\n");
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"Quorel.ini"});
}

TEST(ProfileAtomicSave, KeepsTheOldFilesMode) {
    TempDir dir;
    const fs::path path = dir / "Quorel.ini";
    WriteFile(path, "[S]\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    {
        Profile p(path);
        p.SetInt("S", "k", 1);
    }
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=1\r\n\r\n");
}

TEST(ProfileAtomicSave, NewFileGetsTheUmaskMode) {
    TempDir dir;
    const mode_t old = umask(022);
    {
        Profile p(dir / "Quorel.ini");
        p.SetInt("S", "k", 1);
    }
    umask(old);
    struct stat info {};
    ASSERT_EQ(stat((dir / "Quorel.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST(ProfileAtomicSave, SymbolicLinkStaysALinkAndItsTargetIsWritten) {
    TempDir dir;
    fs::create_directory(dir / "real");
    const fs::path target = dir / "real" / "profile.ini";
    WriteFile(target, "[Old]\r\n");
    fs::create_symlink("real/profile.ini", dir / "Quorel.ini");
    {
        Profile p(dir / "Quorel.ini");
        p.SetInt("S", "k", 1);
    }
    EXPECT_TRUE(fs::is_symlink(dir / "Quorel.ini"));
    EXPECT_EQ(fs::read_symlink(dir / "Quorel.ini"), fs::path("real/profile.ini"));
    EXPECT_EQ(ReadFile(target), "[Old]\r\n\r\n[S]\r\nk=1\r\n\r\n");
    EXPECT_EQ(FilesIn(dir / "real"), std::vector<std::string>{"profile.ini"});
}

TEST(ProfileAtomicSave, FolderThatCannotHoldFilesGivesTheOpeningMessage) {
    TempDir dir;
    WriteFile(dir / "plainfile", "not a folder");
    const fs::path path = dir / "plainfile" / "Quorel.ini";
    MessageRecorder recorder;
    Profile p(path);
    p.SetInt("S", "k", 1);
    EXPECT_FALSE(p.Save());
    EXPECT_FALSE(p.IsChanged());
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].first, "Error saving profile");
    EXPECT_EQ(recorder.messages[0].second,
              "File could not be opened for writing: " + path.string());
    EXPECT_EQ(p.GetInt("S", "k", 0), 1); // the store in memory stays
    EXPECT_TRUE(p.Save());               // and is not written a second time
    EXPECT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(ReadFile(dir / "plainfile"), "not a folder");
}

TEST(ProfileAtomicSave, FailedRenameGivesTheWritingMessageAndKeepsTheFolderClean) {
    TempDir dir;
    // A folder where the profile should be: the new content is written, but cannot replace it.
    fs::create_directories(dir / "Quorel.ini" / "inside");
    MessageRecorder recorder;
    {
        Profile p(dir / "Quorel.ini");
        p.SetInt("S", "k", 1);
    }
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].second,
              "File could not be written: " + (dir / "Quorel.ini").string());
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"Quorel.ini"});
    EXPECT_TRUE(fs::is_directory(dir / "Quorel.ini" / "inside"));
}

TEST(ProfileAtomicSave, FullDiskLeavesTheOldFileByteForByte) {
    TempDir dir;
    const fs::path path = dir / "Quorel.ini";
    const std::string old = "[Keep]\r\nthis=exactly\r\n\r\n";
    WriteFile(path, old);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file size limit of 64 bytes stands in for a full disk: write() fails with EFBIG.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        setrlimit(RLIMIT_FSIZE, &limit);
        int told = 0;
        SetProfileMessageSink([&](const std::string& title, const std::string& text) {
            told += title == "Error saving profile" &&
                    text == "File could not be written: " + path.string();
        });
        Profile p(path);
        p.Clear();
        p.SetEscapedString("S", "Text", std::string(5000, 'y'));
        const bool saved = p.Save();
        _exit(!saved && told == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not fail with the writing message";
    EXPECT_EQ(ReadFile(path), old);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"Quorel.ini"});
}

TEST(ProfileAtomicSave, NoPathGivesTheOpeningMessage) {
    MessageRecorder recorder;
    Profile p;
    p.SetInt("S", "k", 1);
    EXPECT_FALSE(p.Save());
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].second, "File could not be opened for writing: ");
}

TEST(AtomicFile, WritesThroughAChainOfLinks) {
    TempDir dir;
    WriteFile(dir / "target", "old");
    fs::create_symlink("target", dir / "link1");
    fs::create_symlink(dir / "link1", dir / "link2");
    ASSERT_TRUE(WriteFileAtomically(dir / "link2", "new"));
    EXPECT_EQ(ReadFile(dir / "target"), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link1"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2"));
}

TEST(AtomicFile, DanglingLinkCreatesItsTarget) {
    TempDir dir;
    fs::create_symlink("created", dir / "link");
    ASSERT_TRUE(WriteFileAtomically(dir / "link", "content"));
    EXPECT_EQ(ReadFile(dir / "created"), "content");
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
}

TEST(ProfileEscaping, EscapeAndUnescapeAreInverse) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    all += "\\n\\\\r\\";
    const std::string escaped = EscapeProfileText(all);
    EXPECT_EQ(escaped.find('\n'), std::string::npos);
    EXPECT_EQ(escaped.find('\r'), std::string::npos);
    EXPECT_EQ(UnescapeProfileText(escaped), all);
}
