// The module entry, the handshake against a host that grants or refuses tables, and the menus.
#include "plugin/PluginEntry.h"
#include "host/FaultSwitch.h"
#include "host/Host.h"
#include "hostcalls/HostCalls.h"

#include <gtest/gtest.h>

namespace {

using tesser::host::Host;
using tesser::host::RecordingSink;
using namespace tesser::plugin;
using namespace tesser::hostcalls;

class PluginEntryTest : public ::testing::Test {
protected:
    PluginEntryTest() { host.SetMessageSink(&sink); }
    ~PluginEntryTest() override {
        DisconnectHost();
        SetMainDialogRunner(nullptr);
    }

    HostHandshakeRecord Record() {
        HostHandshakeRecord record{};
        record.version = HOST_HANDSHAKE_VERSION;
        record.extension = 7;
        record.core = host.GetHostCoreTable();
        return record;
    }

    // PlugInMain, the handshake, registration and initialisation, as a host performs them.
    bool Load() {
        uint32_t moduleVersion = 0;
        HostHandshakeProc handshake = nullptr;
        HostAppData app{&host, nullptr};
        const uint32_t pair[2] = {0, 0};
        if (!PlugInMain(0x20000, &moduleVersion, &handshake, &app, pair)) {
            return false;
        }
        HostHandshakeRecord record = Record();
        if (!handshake(moduleVersion, &record)) {
            return false;
        }
        HostRegistrationRecord registration{};
        auto registrationProc = reinterpret_cast<HostRegistrationProc>(record.registration);
        if (!registrationProc(HOST_HANDSHAKE_VERSION, &registration)) {
            return false;
        }
        EXPECT_EQ(GetAtomText(registration.extensionName), "KORV_KORV_Quorel");
        auto further = reinterpret_cast<HPlainProc>(registration.further);
        auto unload = reinterpret_cast<HPlainProc>(registration.unload);
        EXPECT_TRUE(further());
        EXPECT_TRUE(unload());
        return reinterpret_cast<HPlainProc>(registration.initialise)() != 0;
    }

    Host host;
    RecordingSink sink;
};

TEST_F(PluginEntryTest, EntryAnswersTheHandshakeVersionItSupports) {
    uint32_t version = 0;
    HostHandshakeProc handshake = nullptr;
    EXPECT_TRUE(PlugInMain(0x30000, &version, &handshake, nullptr, nullptr));
    EXPECT_EQ(version, 0x20000u);
    EXPECT_NE(handshake, nullptr);

    EXPECT_TRUE(PlugInMain(0x10000, &version, &handshake, nullptr, nullptr));
    EXPECT_EQ(version, 0x10000u);
    HostHandshakeRecord record = Record();
    EXPECT_FALSE(handshake(version, &record));
    record.version = 0x10000;
    EXPECT_FALSE(handshake(0x20000, &record));
}

TEST_F(PluginEntryTest, HandshakeTakesWinAtAnOlderVersion) {
    host.SetTableVersion("Win", 0x20000);
    HostHandshakeRecord record = Record();
    ASSERT_TRUE(HandshakeRoutine(0x20000, &record));
    EXPECT_EQ(Tables().winVersion, 0x20000u);
    EXPECT_NE(record.registration, nullptr);
}

TEST_F(PluginEntryTest, HandshakeFailsWhenCosIsOnlyOlder) {
    host.SetTableVersion("Cos", 0x20001);
    HostHandshakeRecord record = Record();
    EXPECT_FALSE(HandshakeRoutine(0x20000, &record));
    EXPECT_FALSE(HostConnected());
    EXPECT_EQ(record.registration, nullptr);
}

TEST_F(PluginEntryTest, HandshakeFailsWithoutAnyWinVersion) {
    host.SetTableVersion("Win", 0);
    HostHandshakeRecord record = Record();
    EXPECT_FALSE(HandshakeRoutine(0x20000, &record));
}

TEST_F(PluginEntryTest, RegistrationRefusesOtherVersions) {
    HostRegistrationRecord registration{};
    HostHandshakeRecord record = Record();
    ASSERT_TRUE(HandshakeRoutine(0x20000, &record));
    EXPECT_FALSE(RegistrationRoutine(0x20001, &registration));
}

TEST_F(PluginEntryTest, InitialisationAddsBothItems) {
    ASSERT_TRUE(Load());
    auto about = host.MenuItems("AboutExtensions");
    ASSERT_EQ(about.size(), 1u);
    EXPECT_EQ(about[0].title, "Tesser Pro...");
    EXPECT_EQ(about[0].name, "KORV:QuorelHelp");
    EXPECT_TRUE(about[0].hasExecuteProc);
    auto main = host.MenuItems("Extensions");
    ASSERT_EQ(main.size(), 1u);
    EXPECT_EQ(main[0].title, "Tesser Pro...");
    EXPECT_EQ(main[0].name, "KORV:QuorelTesser");
    EXPECT_TRUE(main[0].hasEnableProc);
    EXPECT_TRUE(host.IsMenuItemEnabled("KORV:QuorelTesser"));
}

// Every menu initialisation acquires is released again, also when a host call after the
// acquisition fails.
TEST_F(PluginEntryTest, InitialisationReleasesEveryMenuItAcquires) {
    ASSERT_TRUE(Load());
    EXPECT_EQ(host.AcquiredMenuCount(), 0u);
    for (const char* failing :
         {"NewMenuItem", "SetMenuItemExecuteProc", "SetMenuItemEnableProc", "AddMenuItem"}) {
        SCOPED_TRACE(failing);
        tesser::host::FaultSwitch::Arm(failing, 1);
        EXPECT_FALSE(InitialiseProcedure());
        tesser::host::FaultSwitch::DisarmAll();
        EXPECT_EQ(host.AcquiredMenuCount(), 0u);
    }
}

TEST_F(PluginEntryTest, MissingAboutMenuAddsNeitherItem) {
    host.RemoveMenu("AboutExtensions");
    EXPECT_FALSE(Load());
    EXPECT_TRUE(host.MenuItems("Extensions").empty());
}

TEST_F(PluginEntryTest, MissingExtensionsMenuFailsAfterTheAboutItem) {
    host.RemoveMenu("Extensions");
    EXPECT_FALSE(Load());
    EXPECT_EQ(host.MenuItems("AboutExtensions").size(), 1u);
}

TEST_F(PluginEntryTest, AboutShowsTheVersionLine) {
    ASSERT_TRUE(Load());
    ASSERT_TRUE(host.ExecuteMenuItem("KORV:QuorelHelp"));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].iconKind, 3);
    EXPECT_EQ(sink.messages[0].text.rfind("Tesser Pro Version 1.0 Build 0\n\n", 0), 0u);
    EXPECT_EQ(sink.messages[0].buttons, std::vector<std::string>{"OK"});
}

HView g_seenView = reinterpret_cast<HView>(1);
void* g_seenParent = nullptr;
void RecordDialog(HView view, void* parent) {
    g_seenView = view;
    g_seenParent = parent;
}

TEST_F(PluginEntryTest, MainCommandOpensTheDialogWithoutADocument) {
    ASSERT_TRUE(Load());
    SetMainDialogRunner(&RecordDialog);
    ASSERT_TRUE(host.ExecuteMenuItem("KORV:QuorelTesser"));
    EXPECT_EQ(g_seenView, nullptr);
    EXPECT_EQ(g_seenParent, &host);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PluginEntryTest, MainCommandHandsTheDialogTheActiveView) {
    ASSERT_TRUE(Load());
    SetMainDialogRunner(&RecordDialog);
    auto file = std::string(TESSER_SOURCE_DIR) + "/samples/sample.pdf";
    HFileSys fs = GetDefaultFileSystem();
    PathHandle path(fs, PathFromPlatformPath(fs, file));
    HDoc doc = OpenDocument(path.get(), fs, nullptr, nullptr, false);
    host.SetActiveDocument(doc);
    ASSERT_TRUE(host.ExecuteMenuItem("KORV:QuorelTesser"));
    ASSERT_NE(g_seenView, nullptr);
    EXPECT_EQ(g_seenView, host.GetActiveView());
    EXPECT_EQ(GetViewDocument(g_seenView), doc);
    host.SetActiveDocument(nullptr);
    CloseDocument(doc);
}

TEST_F(PluginEntryTest, MainCommandGoesOnWhenTheActiveDocumentFails) {
    ASSERT_TRUE(Load());
    SetMainDialogRunner(&RecordDialog);
    g_seenView = reinterpret_cast<HView>(1);
    tesser::host::FaultSwitch::Arm("GetActiveDocument", 1);
    ASSERT_TRUE(host.ExecuteMenuItem("KORV:QuorelTesser"));
    tesser::host::FaultSwitch::DisarmAll();
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text, "Failed to get active document");
    EXPECT_EQ(g_seenView, nullptr);
}

} // namespace
