#include "plugin/PluginEntry.h"

#include "hostcalls/HostCalls.h"

#include <exception>

namespace tesser::plugin {

using namespace tesser::hostcalls;

namespace {

void* g_mainWindow = nullptr;
void* g_reserved = nullptr;
uint32_t g_pair[2] = {0, 0};
MainDialogRunner g_runner = nullptr;

// The host connection (core table and extension) is the one ConnectHost keeps.
template <typename Proc> HCallback Callback(Proc proc) {
    const HostTables& host = Tables();
    HCallback callback = nullptr;
    if (host.core == nullptr ||
        host.core->MakeCallback(host.extension, reinterpret_cast<void (*)(void)>(proc),
                                &callback) != kHErrNone) {
        return nullptr;
    }
    return callback;
}

// Adds one item; false when the menu bar, the menu or the item cannot be had. The menu is
// released whatever fails after it was acquired.
bool AddItem(const char* menuName, const char* itemName, HCallback execute, HCallback enable) {
    try {
        HMenuBar bar = GetMenuBar();
        if (bar == nullptr) {
            return false;
        }
        MenuHandle menu(AcquireMenu(bar, menuName));
        if (!menu) {
            return false;
        }
        HMenuItem item = nullptr;
        try {
            item = NewMenuItem(kMenuTitle, itemName, nullptr, false, 0, 0, nullptr,
                               Tables().extension);
        } catch (const HostError&) {
            item = nullptr;
        }
        if (item == nullptr) {
            menu.Close();
            return false;
        }
        SetMenuItemExecuteProc(item, execute, nullptr);
        if (enable != nullptr) {
            SetMenuItemEnableProc(item, enable, nullptr);
        }
        AddMenuItem(menu.get(), item, 9999);
        menu.Close();
        return true;
    } catch (const HostError&) {
        return false;
    }
}

} // namespace

void SetMainDialogRunner(MainDialogRunner runner) {
    g_runner = runner;
}
void* HostMainWindow() {
    return g_mainWindow;
}

HBool HandshakeRoutine(uint32_t handshakeVersion, HostHandshakeRecord* record) {
    try {
        if (record == nullptr || handshakeVersion != HOST_HANDSHAKE_VERSION ||
            record->version != HOST_HANDSHAKE_VERSION) {
            return 0;
        }
        if (!ConnectHost(record->core, record->extension)) {
            return 0;
        }
        record->registration = Callback(&RegistrationRoutine);
        return record->registration != nullptr ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

HBool RegistrationRoutine(uint32_t version, HostRegistrationRecord* record) {
    try {
        if (record == nullptr || version != HOST_HANDSHAKE_VERSION) {
            return 0;
        }
        record->extensionName = CreateAtom(kExtensionName);
        record->further = Callback(&FurtherProcedure);
        record->initialise = Callback(&InitialiseProcedure);
        record->unload = Callback(&UnloadProcedure);
        return 1;
    } catch (...) {
        return 0;
    }
}

HBool InitialiseProcedure() {
    try {
        if (!AddItem("AboutExtensions", kAboutItemName, Callback(&ShowAboutCommand), nullptr)) {
            return 0;
        }
        if (!AddItem("Extensions", kMainItemName, Callback(&OpenMainDialogCommand),
                     Callback(&AlwaysEnabled))) {
            return 0;
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

HBool UnloadProcedure() {
    return 1;
}
HBool FurtherProcedure() {
    return 1;
}
HBool AlwaysEnabled(void*) {
    return 1;
}

void OpenMainDialogCommand(void*) {
    try {
        // The dialog needs the view of the active document, not only the document: runs,
        // printing and the close rules work on the view.
        HView view = nullptr;
        try {
            if (GetActiveDocument() != nullptr) {
                view = GetActiveView();
            }
        } catch (const HostError&) {
            ShowAlert(kHAlertError, "Failed to get active document", "OK");
            view = nullptr;
        }
        if (g_runner == nullptr) {
            ShowAlert(kHAlertError, "The Tesser Pro dialog is not available in this host.", "OK");
            return;
        }
        g_runner(view, g_mainWindow);
    } catch (const std::exception& e) {
        // Nothing may unwind into the host.
        ShowAlert(kHAlertError, e.what(), "OK");
    } catch (...) {
        ShowAlert(kHAlertError, "An unexpected error ended the Tesser Pro dialog.", "OK");
    }
}

void ShowAboutCommand(void*) {
    try {
        ShowAlert(kHAlertInfo, kAboutText, "OK");
    } catch (...) {
    }
}

} // namespace tesser::plugin

extern "C" __attribute__((visibility("default"))) HBool
PlugInMain(uint32_t hostVersion, uint32_t* moduleVersion, HostHandshakeProc* handshake,
           const HostAppData* appData, const uint32_t pair[2]) {
    using namespace tesser::plugin;
    if (appData != nullptr) {
        g_mainWindow = appData->mainWindow;
        g_reserved = appData->reserved;
    }
    if (pair != nullptr) {
        g_pair[0] = pair[0];
        g_pair[1] = pair[1];
    }
    if (moduleVersion != nullptr) {
        *moduleVersion =
            hostVersion >= HOST_HANDSHAKE_VERSION ? HOST_HANDSHAKE_VERSION : hostVersion;
    }
    if (handshake != nullptr) {
        *handshake = &HandshakeRoutine;
    }
    return 1;
}
