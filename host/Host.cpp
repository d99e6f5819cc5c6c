#include "host/Heap.h"
#include "host/HostState.h"
#include "host/IncrementalSave.h"

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace tesser::host {

namespace {
Host* g_host = nullptr;
} // namespace

Host::State& S() {
    if (g_host == nullptr) {
        throw HostException(kHErrGeneral, "The host is not running.");
    }
    return g_host->state();
}

void Document::Changed() {
    flags |= kHDocNeedsSave;
    if (g_host != nullptr && g_host->state().observer != nullptr) {
        g_host->state().observer->DocumentChanged(ToHandle(this));
    }
}

void Document::Changed(QPDFObjGen changed) {
    if (changed.isIndirect()) {
        if (!revisions) {
            revisions = std::make_unique<Revisions>();
        }
        revisions->Changed(changed);
    }
    Changed();
}

namespace {

// ---- Core table ----

HErrorCode CreateAtom(const char* text, HAtom* atom) {
    return Entry("CreateAtom", [&] {
        CheckOut(text);
        CheckOut(atom);
        *atom = S().Atom(text);
    });
}

HErrorCode GetAtomText(HAtom atom, char* buffer, size_t bufferSize) {
    return Entry("GetAtomText", [&] { CopyText(S().AtomText(atom), buffer, bufferSize); });
}

HErrorCode MakeCallback(HExtensionID, void (*proc)(void), HCallback* callback) {
    return Entry("MakeCallback", [&] {
        if (proc == nullptr) {
            FailCode(kHErrBadParameter);
        }
        CheckOut(callback);
        *callback = reinterpret_cast<HCallback>(proc);
    });
}

HErrorCode ImportFunctionTable(HAtom tableName, uint32_t version, const void** table) {
    return Entry("ImportFunctionTable", [&] {
        CheckOut(table);
        Host::State& s = S();
        const std::string& name = s.AtomText(tableName);
        auto granted = s.grantedVersions.find(name);
        if (granted == s.grantedVersions.end() || version > granted->second) {
            FailCode(kHErrNotFound);
        }
        if (name == HOST_TABLE_ACROSUPPORT) {
            *table = &s.support;
        } else if (name == HOST_TABLE_COS) {
            *table = &s.cos;
        } else if (name == HOST_TABLE_PDMODEL) {
            *table = &s.model;
        } else if (name == HOST_TABLE_ACROVIEW) {
            *table = &s.view;
        } else if (name == HOST_TABLE_WIN) {
            *table = &s.win;
        } else {
            FailCode(kHErrNotFound);
        }
    });
}

// ---- AcroSupport ----

HFileSys DefaultFileSystem() {
    static int marker;
    return reinterpret_cast<HFileSys>(&marker);
}

void CheckFileSystem(HFileSys fs) {
    if (fs != nullptr && fs != DefaultFileSystem()) {
        throw HostException(kHErrBadParameter, "Unknown file system.");
    }
}

HErrorCode GetDefaultFileSystem(HFileSys* fileSystem) {
    return Entry("GetDefaultFileSystem", [&] {
        CheckOut(fileSystem);
        *fileSystem = DefaultFileSystem();
    });
}

HErrorCode PathFromPlatformPath(HFileSys fileSystem, const char* platformPath, HPath* path) {
    return Entry("PathFromPlatformPath", [&] {
        CheckFileSystem(fileSystem);
        CheckOut(platformPath);
        CheckOut(path);
        if (*platformPath == '\0') {
            throw HostException(kHErrBadParameter, "The file name is empty.");
        }
        auto rec = std::make_unique<PathRec>();
        rec->path = platformPath;
        *path = reinterpret_cast<HPath>(S().paths.Add(std::move(rec)));
    });
}

HErrorCode ReleasePath(HFileSys fileSystem, HPath path) {
    return Entry("ReleasePath", [&] {
        CheckFileSystem(fileSystem);
        S().paths.Erase(CheckPath(path));
    });
}

HErrorCode OpenMemoryReadStream(const char* bytes, size_t length, HStream* stream) {
    return Entry("OpenMemoryReadStream", [&] {
        CheckOut(stream);
        if (bytes == nullptr && length != 0) {
            throw HostException(kHErrBadParameter, "");
        }
        auto rec = std::make_unique<StreamRec>();
        rec->bytes = bytes;
        rec->length = length;
        *stream = reinterpret_cast<HStream>(S().streams.Add(std::move(rec)));
    });
}

HErrorCode CloseStream(HStream stream) {
    return Entry("CloseStream", [&] { S().streams.Erase(CheckStream(stream)); });
}

} // namespace

void FillCoreTable(HostCoreTable& t) {
    t.size = sizeof(HostCoreTable);
    t.version = HOST_HANDSHAKE_VERSION;
    t.CreateAtom = CreateAtom;
    t.GetAtomText = GetAtomText;
    t.MakeCallback = MakeCallback;
    t.ImportFunctionTable = ImportFunctionTable;
    t.GetErrorText = GetErrorText;
}

void FillSupportTable(HostSupportTable& t) {
    t.size = sizeof(HostSupportTable);
    t.version = HOST_TABLE_VERSION_2_2;
    t.GetDefaultFileSystem = GetDefaultFileSystem;
    t.PathFromPlatformPath = PathFromPlatformPath;
    t.ReleasePath = ReleasePath;
    t.OpenMemoryReadStream = OpenMemoryReadStream;
    t.CloseStream = CloseStream;
}

// ---- Host ----

Host::Host() : state_(std::make_unique<State>()) {
    if (g_host != nullptr) {
        throw std::logic_error("Only one host can run at a time.");
    }
    PrepareHeap();
    FillCoreTable(state_->core);
    FillSupportTable(state_->support);
    FillCosTable(state_->cos);
    FillModelTable(state_->model);
    FillObjectScopeFunctions(state_->model);
    FillViewTable(state_->view);
    FillWinTable(state_->win);
    for (const char* name : {HOST_TABLE_ACROSUPPORT, HOST_TABLE_COS, HOST_TABLE_PDMODEL,
                             HOST_TABLE_ACROVIEW, HOST_TABLE_WIN}) {
        state_->grantedVersions[name] = HOST_TABLE_VERSION_2_2;
    }
    state_->menus.menus.push_back({"Extensions", {}});
    state_->menus.menus.push_back({"AboutExtensions", {}});
    g_host = this;
}

Host::~Host() {
    State& s = *state_;
    while (Document* doc = s.documents.Any()) {
        CloseDocumentRec(doc);
    }
    s.views.Clear();
    s.streams.Clear();
    s.paths.Clear();
    g_host = nullptr;
}

Host* Host::Current() {
    return g_host;
}

const HostCoreTable* Host::GetHostCoreTable() const {
    return &state_->core;
}

void Host::SetMessageSink(MessageSink* sink) {
    state_->sink = sink;
}
void Host::SetObserver(HostObserver* observer) {
    state_->observer = observer;
}
void Host::SetAppPreference(int32_t preference, int32_t value) {
    state_->appPreferences[preference] = value;
}
MessageSink* Host::GetMessageSink() const {
    return state_->sink;
}

void Host::SetActiveDocument(HDoc doc) {
    State& s = *state_;
    if (s.activeView != nullptr) {
        s.views.Erase(s.activeView);
        s.activeView = nullptr;
    }
    if (doc == nullptr) {
        return;
    }
    auto* d = reinterpret_cast<Document*>(doc);
    if (!s.documents.Contains(d)) {
        throw std::invalid_argument("SetActiveDocument: not an open document");
    }
    auto view = std::make_unique<ViewRec>();
    view->doc = d;
    s.activeView = s.views.Add(std::move(view));
}

HDoc Host::GetActiveDocument() const {
    return state_->activeView != nullptr ? ToHandle(state_->activeView->doc) : nullptr;
}

HView Host::GetActiveView() const {
    return reinterpret_cast<HView>(state_->activeView);
}

void Host::SetMainWindow(void* window) {
    state_->mainWindow = window;
}

void Host::SetTableVersion(const std::string& tableName, uint32_t version) {
    state_->grantedVersions[tableName] = version;
}

void Host::SetPrintToFile(const std::string& path) {
    state_->printToFile = path;
}
void Host::SetPrintDestination(const std::string& destination) {
    state_->printDestination = destination;
}

void Host::SetSaveProgress(std::function<void(int)> progress) {
    state_->saveProgress = std::move(progress);
}

std::vector<void*> Host::ModelessWindows() const {
    return state_->modeless;
}

std::vector<std::string> Host::DocumentWarnings(HDoc doc) const {
    auto* d = reinterpret_cast<Document*>(doc);
    if (!state_->documents.Contains(d)) {
        return {};
    }
    return d->warnings;
}

size_t Host::ObjectHandleCount() const {
    return state_->handles.LiveCount() - 1;
}

std::string Host::ErrorText(HErrorCode code) const {
    char buffer[2000];
    GetErrorText(code, buffer, sizeof buffer);
    return buffer;
}

} // namespace tesser::host
