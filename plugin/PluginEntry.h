// The module's entry, the handshake with the host, registration and the two menu commands.
//
// The host calls PlugInMain, then the handshake routine it hands back; the handshake imports the
// five tables (ConnectHost) and gives the host the registration routine, which names the
// extension "KORV_KORV_Quorel" and hands over the initialisation and unload procedures.
// Initialisation adds "Tesser Pro..." to the "AboutExtensions" menu (the About text) and to the
// "Extensions" menu (the main dialog).
#pragma once

#include "hostapi/HostApi.h"

namespace tesser::plugin {

inline constexpr const char* kExtensionName = "KORV_KORV_Quorel";
inline constexpr const char* kMainItemName = "KORV:QuorelTesser";
inline constexpr const char* kAboutItemName = "KORV:QuorelHelp";
inline constexpr const char* kMenuTitle = "Tesser Pro...";
inline constexpr const char* kAboutText = "Tesser Pro Version 1.0 Build 0\n\n"
                                          "Text stamps for PDF documents.\n"
                                          "Copyright (c) 2026 the Tesser Pro developers.";

// Runs the main dialog for the view of the active document (or none) with the host's main window
// as parent. The module's dialog library sets it when the module initialises; without one the
// command only reports that no dialog is available.
using MainDialogRunner = void (*)(HView view, void* parentWindow);
void SetMainDialogRunner(MainDialogRunner runner);

// The host's application data given to PlugInMain (first value: the main window).
void* HostMainWindow();

// The procedures, reachable for in-process hosts and tests.
HBool HandshakeRoutine(uint32_t handshakeVersion, HostHandshakeRecord* record);
HBool RegistrationRoutine(uint32_t version, HostRegistrationRecord* record);
HBool InitialiseProcedure();
HBool UnloadProcedure();
HBool FurtherProcedure();
void OpenMainDialogCommand(void* clientData);
void ShowAboutCommand(void* clientData);
HBool AlwaysEnabled(void* clientData);

} // namespace tesser::plugin

extern "C" HBool PlugInMain(uint32_t hostVersion, uint32_t* moduleVersion,
                            HostHandshakeProc* handshake, const HostAppData* appData,
                            const uint32_t pair[2]);
