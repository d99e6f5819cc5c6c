// The built Quorel.api as a host loads it: dlopen, PlugInMain, handshake, registration, menus.
#include "host/Host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

namespace {

TEST(QuorelModule, ExportsOnlyPlugInMain) {
    auto symbols =
        tesser::test::Run("nm -D --defined-only " + tesser::test::Quote(QUOREL_MODULE_PATH) +
                          " | awk '$2 ~ /^[TDBRVW]$/ {print $3}'");
    ASSERT_EQ(symbols.exitCode, 0) << symbols.errors;
    EXPECT_EQ(symbols.output, "PlugInMain\n");
}

TEST(QuorelModule, LoadsAndAddsItsMenuItemsToTheHost) {
    tesser::host::Host host;
    tesser::host::RecordingSink sink;
    host.SetMessageSink(&sink);

    void* module = dlopen(QUOREL_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<HostPlugInMainProc>(dlsym(module, "PlugInMain"));
    ASSERT_NE(entry, nullptr);

    uint32_t version = 0;
    HostHandshakeProc handshake = nullptr;
    HostAppData app{nullptr, nullptr};
    const uint32_t pair[2] = {0, 0};
    ASSERT_TRUE(entry(0x20000, &version, &handshake, &app, pair));
    HostHandshakeRecord record{};
    record.version = HOST_HANDSHAKE_VERSION;
    record.extension = 3;
    record.core = host.GetHostCoreTable();
    ASSERT_TRUE(handshake(version, &record));
    HostRegistrationRecord registration{};
    ASSERT_TRUE(
        reinterpret_cast<HostRegistrationProc>(record.registration)(0x20000, &registration));
    ASSERT_TRUE(reinterpret_cast<HPlainProc>(registration.initialise)());

    ASSERT_EQ(host.MenuItems("Extensions").size(), 1u);
    EXPECT_EQ(host.MenuItems("Extensions")[0].name, "KORV:QuorelTesser");
    ASSERT_TRUE(host.ExecuteMenuItem("KORV:QuorelHelp"));
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].text.rfind("Tesser Pro Version 1.0 Build 0", 0), 0u);
    // The menus hold the module's procedures: it stays loaded for the host's life, as a host
    // keeps its plug-ins.
}

} // namespace
