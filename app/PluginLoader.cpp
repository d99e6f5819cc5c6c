#include "app/PluginLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <dlfcn.h>

#include <cstdio>

namespace tesser::app {

namespace {

HExtensionID g_nextExtension = 1;

// Loads one module; an empty answer means it is in.
QString LoadModule(host::Host& host, const QString& path, void* mainWindow) {
    QByteArray file = QFile::encodeName(path);
    void* module = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* error = dlerror();
        return QStringLiteral("it cannot be loaded (%1)")
            .arg(QString::fromLocal8Bit(error != nullptr ? error : "unknown error"));
    }
    auto entry = reinterpret_cast<HostPlugInMainProc>(dlsym(module, "PlugInMain"));
    if (entry == nullptr) {
        dlclose(module);
        return QStringLiteral("it exports no PlugInMain");
    }
    // From here on the module may have handed the host its procedures: it stays loaded.
    uint32_t moduleVersion = 0;
    HostHandshakeProc handshake = nullptr;
    HostAppData appData{mainWindow, nullptr};
    const uint32_t pair[2] = {0, 0};
    if (!entry(HOST_HANDSHAKE_VERSION, &moduleVersion, &handshake, &appData, pair) ||
        handshake == nullptr) {
        return QStringLiteral("PlugInMain failed");
    }
    HostHandshakeRecord record{};
    record.version = HOST_HANDSHAKE_VERSION;
    record.extension = g_nextExtension++;
    record.core = host.GetHostCoreTable();
    if (moduleVersion != HOST_HANDSHAKE_VERSION || !handshake(moduleVersion, &record) ||
        record.registration == nullptr) {
        return QStringLiteral("the handshake failed (handshake version 0x%1)")
            .arg(moduleVersion, 0, 16);
    }
    HostRegistrationRecord registration{};
    auto registrationProc = reinterpret_cast<HostRegistrationProc>(record.registration);
    if (!registrationProc(HOST_HANDSHAKE_VERSION, &registration)) {
        return QStringLiteral("its registration failed");
    }
    auto initialise = reinterpret_cast<HPlainProc>(registration.initialise);
    if (initialise == nullptr || !initialise()) {
        return QStringLiteral("its initialisation failed");
    }
    return {};
}

} // namespace

QStringList DefaultPlugInFolders() {
    QStringList folders;
    const QDir programDir(QCoreApplication::applicationDirPath());
    folders << programDir.filePath(QStringLiteral("plug_ins"));
    // Installed: the plug-in folder under the library folder, found from where the program is.
    folders << QDir::cleanPath(programDir.filePath(QStringLiteral(QUOREL_INSTALLED_PLUGIN_DIR)));
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data)) {
        data = QDir::home().filePath(QStringLiteral(".local/share"));
    }
    folders << QDir(data).filePath(QStringLiteral("quorel-host/plug_ins"));
    return folders;
}

std::vector<PlugInOutcome> LoadPlugIns(host::Host& host, const QStringList& folders,
                                       void* mainWindow) {
    std::vector<PlugInOutcome> outcomes;
    QSet<QString> loadedNames;
    for (const QString& folder : folders) {
        QDir dir(folder);
        if (!dir.exists()) {
            continue;
        }
        const QStringList names =
            dir.entryList({QStringLiteral("*.api")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString& name : names) {
            PlugInOutcome outcome;
            outcome.path = dir.filePath(name);
            if (loadedNames.contains(name)) {
                outcome.reason = QStringLiteral("a module of that name is already loaded");
            } else {
                outcome.reason = LoadModule(host, outcome.path, mainWindow);
            }
            outcome.loaded = outcome.reason.isEmpty();
            if (outcome.loaded) {
                loadedNames.insert(name);
            } else {
                std::fprintf(stderr, "quorel-host: plug-in %s skipped: %s\n",
                             QFile::encodeName(outcome.path).constData(),
                             outcome.reason.toLocal8Bit().constData());
            }
            outcomes.push_back(outcome);
        }
    }
    return outcomes;
}

} // namespace tesser::app
