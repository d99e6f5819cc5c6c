// What ships with tesser besides the binary: the man page and the bash completion name every
// option of the option table, the man page renders without warnings, and the installed tree
// holds the programs, the module in the host's plug-in folder and the documents, and runs.
#include "cli/Options.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tesser::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TESSER_SOURCE_DIR;

// A long option as the man page writes it: each "-" escaped.
std::string ManSpelling(std::string_view name) {
    std::string out = "\\-\\-";
    for (char c : name) {
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    }
    return out;
}

TEST(TesserDocuments, ManPageAndCompletionNameEveryOptionOfTheTable) {
    const std::string man = ReadFile(kSource / "cli/tesser.1");
    const std::string completion = ReadFile(kSource / "cli/tesser.bash-completion");
    for (const cli::OptionSpec& spec : cli::OptionTable()) {
        std::vector<std::string> names;
        if (!spec.longName.empty()) {
            names.emplace_back(spec.longName);
        }
        std::string aliases(spec.aliases);
        for (std::size_t at = 0; at < aliases.size();) {
            const std::size_t end = std::min(aliases.find(' ', at), aliases.size());
            names.push_back(aliases.substr(at, end - at));
            at = end + 1;
        }
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            bool named = false;
            for (const char* after : {" ", "\n", "\"", "["}) {
                named = named || man.find(ManSpelling(name) + after) != std::string::npos;
            }
            EXPECT_TRUE(named);
            EXPECT_NE(completion.find("--" + name + " "), std::string::npos);
        }
        if (spec.shortName != 0) {
            EXPECT_NE(man.find("\\-" + std::string(1, spec.shortName) + " "), std::string::npos)
                << spec.shortName;
        }
    }
}

TEST(TesserDocuments, ManPageRendersWithoutWarnings) {
    const CommandResult groff =
        test::Run("groff -man -Tutf8 -ww -z " + Quote((kSource / "cli/tesser.1").string()));
    EXPECT_EQ(groff.exitCode, 0);
    EXPECT_EQ(groff.errors, "");
    const CommandResult man = test::Run("MANWIDTH=100 man -l " +
                                        Quote((kSource / "cli/tesser.1").string()) + " 2>&1 | cat");
    EXPECT_NE(man.output.find("EXIT STATUS"), std::string::npos) << man.output;
    EXPECT_NE(man.output.find("<PageNumber>"), std::string::npos);
    // Both man pages pass mandoc's lint, style messages included.
    const CommandResult lint =
        test::Run("mandoc -T lint " + Quote((kSource / "cli/tesser.1").string()) + " " +
                  Quote((kSource / "app/quorel-host.1").string()));
    EXPECT_EQ(lint.exitCode, 0) << lint.output << lint.errors;
    EXPECT_EQ(lint.output + lint.errors, "");
}

TEST(TesserInstall, TheInstalledTreeHoldsEverythingAndTheInstalledTesserRuns) {
    TempDir prefix;
    const CommandResult install =
        test::Run(Quote(CMAKE_COMMAND) + " --install " + Quote(TESSER_BUILD_DIR) + " --prefix " +
                  Quote(prefix.path().string()));
    ASSERT_EQ(install.exitCode, 0) << install.errors << install.output;
    EXPECT_TRUE(fs::is_regular_file(prefix / "bin/tesser"));
    EXPECT_TRUE(fs::is_regular_file(prefix / "share/man/man1/tesser.1"));
    EXPECT_TRUE(fs::is_regular_file(prefix / "share/bash-completion/completions/tesser"));
#ifdef TESSER_WITH_DESKTOP
    EXPECT_TRUE(fs::is_regular_file(prefix / "bin/quorel-host"));
    // The module lies in the library folder's quorel-host/plug_ins, where the installed program
    // looks for it.
    std::vector<std::string> modules;
    for (const auto& item : fs::recursive_directory_iterator(prefix.path())) {
        if (item.path().filename() == "Quorel.api") {
            modules.push_back(fs::relative(item.path(), prefix.path()).string());
        }
    }
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0].rfind("lib/", 0), 0u) << modules[0];
    EXPECT_NE(modules[0].find("/quorel-host/plug_ins/Quorel.api"), std::string::npos) << modules[0];
    const fs::path desktopEntry = prefix / "share/applications/quorel-host.desktop";
    ASSERT_TRUE(fs::is_regular_file(desktopEntry));
    EXPECT_TRUE(fs::is_regular_file(prefix / "share/icons/hicolor/scalable/apps/quorel-host.svg"));
    if (test::Run("command -v desktop-file-validate").exitCode == 0) {
        const CommandResult valid =
            test::Run("desktop-file-validate " + Quote(desktopEntry.string()));
        EXPECT_EQ(valid.exitCode, 0) << valid.output << valid.errors;
    }
#endif
    const CommandResult version = test::Run(Quote((prefix / "bin/tesser").string()) + " --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "tesser (Tesser Pro) 1.0.0\n");
    // The completion offers the profile's names and the options.
    const CommandResult complete = test::Run(
        "bash -c 'source " + Quote((prefix / "share/bash-completion/completions/tesser").string()) +
        "; COMP_WORDS=(tesser --sav); COMP_CWORD=1; _tesser; echo \"${COMPREPLY[@]}\"'");
    EXPECT_EQ(complete.output, "--save-as\n") << complete.errors;
}

} // namespace
} // namespace tesser::test
