// Loading plug-in modules: every "*.api" file of the plug-in folders, through dlopen,
// PlugInMain, the handshake, registration and initialisation.
//
// A module that cannot be loaded, has no PlugInMain, or whose entry, handshake, registration or
// initialisation answers false is skipped with one line to standard error naming it and the
// reason; loading goes on with the next module. A module whose file name was loaded from an
// earlier folder is skipped too. Modules stay loaded for the life of the process: the host's
// menus hold their procedures.
#pragma once

#include "host/Host.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace tesser::app {

struct PlugInOutcome {
    QString path;
    bool loaded = false;
    QString reason; // why it was skipped
};

// <folder of the executable>/plug_ins (the build tree), then the installed plug-in folder
// (<libdir>/quorel-host/plug_ins, found relative to the executable), then
// $XDG_DATA_HOME/quorel-host/plug_ins (~/.local/share when XDG_DATA_HOME is unset or not
// absolute).
QStringList DefaultPlugInFolders();

// Loads the modules of the folders in order, each folder's in byte order of their names.
// mainWindow is handed to each module as the host's main window.
std::vector<PlugInOutcome> LoadPlugIns(host::Host& host, const QStringList& folders,
                                       void* mainWindow);

} // namespace tesser::app
