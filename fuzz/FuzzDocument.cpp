// The whole path a user's PDF takes: the fuzz input is opened as a PDF file through the real
// host (with no password or with one), stamped with a Tesserion whose font, angle, layer and
// page selection the first byte chooses, given new info, view and (sometimes) security settings,
// saved plain or optimised over itself, undone, and closed.
#include "FuzzTarget.h"

#include "host/Host.h"
#include "hostcalls/HostCalls.h"
#include "ui/RunEngine.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tesser;

namespace {

class QuietUi final : public ui::RunUi {
public:
    void OpenProgress() override {}
    void ShowProgress(const std::string&, const std::string&) override {}
    bool ProgressGoOn() override { return true; }
    void CloseProgress() override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    bool ConfirmPasswords(const std::string&, const std::string&) override { return true; }
};

class QuietSink final : public host::MessageSink {
public:
    int32_t ShowAlert(int32_t, const std::string&, const std::vector<std::string>&) override {
        return 1;
    }
    int32_t ConfirmAlert(const std::string&) override { return 1; }
    void ShowNote(const std::string&) override {}
};

struct Session {
    host::Host host;
    QuietSink sink;
    std::string file;
    Session() {
        char folder[] = "/tmp/tesser-fuzz-XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            std::abort();
        }
        file = std::string(folder) + "/in.pdf";
        host.SetMessageSink(&sink);
        if (!hostcalls::ConnectHost(host.GetHostCoreTable(), 1)) {
            std::abort();
        }
    }
};

model::Tesserion Stamp(std::uint8_t mode) {
    model::Tesserion t;
    t.Name = "Fuzz";
    t.Text = "Page <PageNumber> of <PageCount>\r\n<Date:%Y-%m-%d> \xE9t\xE9";
    t.Units = model::Units::Points;
    t.PosX = 72;
    t.PosY = 72;
    t.FontFace = (mode & 1) != 0 ? "Times-BoldItalic" : "Helvetica";
    t.PosAngle = (mode & 2) != 0 ? 33 : 0;
    t.Layer = (mode & 4) != 0 ? model::Layer::Background : model::Layer::Foreground;
    if ((mode & 8) != 0) {
        t.Pages.PagesAll = false;
        t.Pages.PagesRange = "1-2,4";
        t.Pages.PagesOddEven = model::PagesOddEven::OddOnly;
    }
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Session* session = new Session; // lives for the whole process
    if (size < 1) {
        return 0;
    }
    const std::uint8_t mode = data[0];
    {
        std::ofstream out(session->file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    QuietUi ui;
    ui::RunEngine engine(ui);
    engine.Tesserions().Insert(Stamp(mode));
    ui::ApplySettings& apply = engine.Apply();
    apply.SelectionMode = ui::kSelectNamed;
    apply.NamesToApply = {"Fuzz"};
    apply.MultipleDocuments = true;
    apply.DocumentEntries = {session->file};
    apply.Optimise = (mode & 16) != 0;
    engine.Security().CurrentPassword = (mode & 32) != 0 ? "user" : "";
    engine.Info().SetTitle = true;
    engine.Info().Title = "Fuzz \x80";
    engine.Info().SetKeywords = true;
    engine.Info().Keywords = "a\\b(c)";
    if ((mode & 64) != 0) {
        engine.Open().Page = 2;
        engine.Open().Zoom = 3;
        engine.Open().HideToolBar = 1;
    }
    if ((mode & 128) != 0) {
        engine.Security().ChangeSecurity = true;
        engine.Security().OpenPassword = "o";
        engine.Security().OwnerPassword = "w";
        engine.Security().Permissions = 0;
    }
    engine.RunApply();
    engine.RunUndo();
    std::remove(session->file.c_str());
    return 0;
}
