// A test that runs the built tesser with configuration and state folders of its own (the default
// profile and the undo journal live there), on PDF files it writes into a temporary folder.
#pragma once

#include "PdfFixtures.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tesser::test {

class TesserHomeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "state");
        std::filesystem::create_directories(dir_ / "config");
    }

    static std::string Q(const std::filesystem::path& path) { return Quote(path.string()); }

    std::filesystem::path ProfilePath() const { return dir_ / "config/Quorel.ini"; }
    std::filesystem::path JournalPath() const { return dir_ / "state/tesser/journal"; }

    CommandResult Tesser(const std::string& arguments) {
        return test::Run("XDG_CONFIG_HOME=" + Q(dir_ / "config") +
                         " XDG_STATE_HOME=" + Q(dir_ / "state") + " " + Quote(TESSER_BINARY) + " " +
                         arguments + " < /dev/null");
    }

    std::filesystem::path Pdf(const std::string& name, const PdfSpec& spec = {}) {
        const std::filesystem::path path = dir_ / name;
        std::filesystem::create_directories(path.parent_path());
        WritePdf(path, spec);
        return path;
    }

    TempDir dir_;
};

} // namespace tesser::test
