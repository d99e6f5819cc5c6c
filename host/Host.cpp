#include "host/HostState.h"

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>

#include <climits>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cstdint>
#include <cstring>
#include <iostream>
#include <new>

namespace tesser::host {

namespace {

Host* g_host = nullptr;

struct FaultState {
    std::map<std::string, int> armed; // operation -> calls left until the failing one
};

FaultState& Faults() {
    static FaultState state;
    return state;
}

const char* FixedErrorText(HErrorCode code) {
    switch (code) {
    case kHErrGeneral: return "An internal error occurred.";
    case kHErrBadParameter: return "Bad parameter.";
    case kHErrNoMemory: return "Out of memory.";
    case kHErrBadObject: return "The object is not of the expected type.";
    case kHErrNotFound: return "The requested item was not found.";
    case kHErrFault: return "Injected fault.";
    default: return nullptr;
    }
}

// Dynamic codes are reused in a ring so that a long run cannot grow the table without bound.
constexpr HErrorCode kDynamicCodes = 4096;

} // namespace

[[noreturn]] void Fail(const std::string& text) { throw HostException(kHErrGeneral, text); }
[[noreturn]] void FailCode(HErrorCode code) { throw HostException(code, ""); }

Host::State& S() {
    if (g_host == nullptr) {
        throw HostException(kHErrGeneral, "The host is not running.");
    }
    return g_host->state();
}

HErrorCode Host::State::Allocate(const std::string& text) {
    HErrorCode code = nextError;
    nextError = nextError + 1 >= kHErrFirstDynamic + kDynamicCodes ? kHErrFirstDynamic
                                                                   : nextError + 1;
    errorTexts[code] = text;
    return code;
}

HAtom Host::State::Atom(const std::string& text) {
    auto it = atoms.find(text);
    if (it != atoms.end()) {
        return it->second;
    }
    if (atomTexts.size() > 0xFFFF) {
        Fail("The host has no room for another atom.");
    }
    HAtom atom = static_cast<HAtom>(atomTexts.size());
    atomTexts.push_back(text);
    atomKeys.push_back("/" + text);
    atoms.emplace(text, atom);
    return atom;
}

const std::string& Host::State::AtomText(HAtom atom) const {
    if (atom == 0 || atom >= atomTexts.size()) {
        throw HostException(kHErrBadParameter, "Unknown atom " + std::to_string(atom) + ".");
    }
    return atomTexts[atom];
}

const std::string& Host::State::AtomKey(HAtom atom) const {
    AtomText(atom); // refuses an unknown atom
    return atomKeys[atom];
}

HErrorCode EntryAllowed(const char* operation) {
    if (g_host == nullptr) {
        return kHErrGeneral;
    }
    if (!Faults().armed.empty() && FaultSwitch::Trips(operation)) {
        return kHErrFault;
    }
    return kHErrNone;
}

HErrorCode EntryFailure() noexcept {
    auto fail = [](HErrorCode code, const char* text) -> HErrorCode {
        if (text == nullptr || *text == '\0' || g_host == nullptr) {
            return code;
        }
        try {
            return g_host->state().Allocate(text);
        } catch (...) {
            return code;
        }
    };
    try {
        throw;
    } catch (const HostException& e) {
        return fail(e.code(), e.what());
    } catch (const std::bad_alloc&) {
        return kHErrNoMemory;
    } catch (const std::exception& e) {
        return fail(kHErrGeneral, e.what());
    } catch (...) {
        return kHErrGeneral;
    }
}

// ---- Object and font handles ----

namespace {

// A handle is the record's index + 1 in the high half and its generation in the low half.
constexpr unsigned kIndexShift = sizeof(uintptr_t) * 4;
static_assert(sizeof(uintptr_t) >= 8, "handles need a 64-bit address space");

} // namespace

HandleTable::HandleTable() {
    ObjectRec& null = records_.emplace_back();
    null.kind = RecKind::Object;
    null.object = QPDFObjectHandle::newNull();
}

ObjectRec& HandleTable::Add(RecKind kind, Document* doc, QPDFObjectHandle object) {
    uint32_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        if (records_.size() >= (uint64_t{1} << 31)) {
            Fail("The host has no room for another object handle.");
        }
        index = static_cast<uint32_t>(records_.size());
        records_.emplace_back().index = index;
    }
    ObjectRec& rec = records_[index];
    rec.kind = kind;
    rec.doc = doc;
    rec.object = std::move(object);
    return rec;
}

void HandleTable::Free(uint32_t index) {
    if (index == 0 || index >= records_.size() || records_[index].kind == RecKind::Free) {
        return;
    }
    ObjectRec& rec = records_[index];
    rec.kind = RecKind::Free;
    rec.doc = nullptr;
    rec.object = QPDFObjectHandle();
    // A generation of 0 never names a record, so a wrapped generation skips it.
    rec.generation = rec.generation == UINT32_MAX ? 1 : rec.generation + 1;
    free_.push_back(index);
}

ObjectRec* HandleTable::Find(const void* handle, RecKind kind) {
    auto value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t slot = value >> kIndexShift;
    auto generation = static_cast<uint32_t>(value & ((uintptr_t{1} << kIndexShift) - 1));
    if (slot == 0 || slot > records_.size()) {
        return nullptr;
    }
    ObjectRec& rec = records_[slot - 1];
    if (rec.kind != kind || rec.generation != generation) {
        return nullptr;
    }
    return &rec;
}

const void* HandleTable::HandleOf(const ObjectRec& rec) const {
    return reinterpret_cast<const void*>((static_cast<uintptr_t>(rec.index) + 1) << kIndexShift |
                                         rec.generation);
}

HObject ToHandle(const ObjectRec* rec) {
    return static_cast<HObject>(const_cast<void*>(S().handles.HandleOf(*rec)));
}

HFont ToFontHandle(const FontRec* rec) {
    return static_cast<HFont>(const_cast<void*>(S().handles.HandleOf(*rec)));
}

DocumentHandles::~DocumentHandles() {
    Host* host = Host::Current();
    if (host == nullptr) {
        return; // the whole table goes with the host
    }
    HandleTable& table = host->state().handles;
    EndScopes(1);
    for (uint32_t index : kept) {
        table.Free(index);
    }
}

void DocumentHandles::EndScopes(size_t depth) {
    Host* host = Host::Current();
    while (scopes.size() >= depth && !scopes.empty()) {
        if (host != nullptr) {
            HandleTable& table = host->state().handles;
            for (uint32_t index : scopes.back()) {
                const ObjectRec& rec = table.At(index);
                if (rec.kind == RecKind::Object && rec.object.isIndirect()) {
                    auto it = indirect.find(rec.object.getObjGen());
                    if (it != indirect.end() && it->second == index) {
                        indirect.erase(it);
                    }
                }
                table.Free(index);
            }
        }
        scopes.pop_back();
    }
}

namespace {

ObjectRec* WrapIndirect(Document& doc, QPDFObjectHandle object, bool made) {
    HandleTable& table = S().handles;
    QPDFObjGen og = object.getObjGen();
    auto it = doc.handles.indirect.find(og);
    if (it != doc.handles.indirect.end()) {
        return &table.At(it->second);
    }
    ObjectRec& rec = table.Add(RecKind::Object, &doc, std::move(object));
    if (made) {
        doc.handles.kept.push_back(rec.index);
    } else {
        doc.handles.Own(rec.index);
    }
    doc.handles.indirect.emplace(og, rec.index);
    return &rec;
}

} // namespace

ObjectRec* Document::WrapNew(QPDFObjectHandle object) {
    if (object.isIndirect()) {
        return WrapIndirect(*this, std::move(object), true);
    }
    return Wrap(std::move(object));
}

ObjectRec* Document::Wrap(QPDFObjectHandle object) {
    HandleTable& table = S().handles;
    if (object.isIndirect()) {
        return WrapIndirect(*this, std::move(object), false);
    }
    ObjectRec& rec = table.Add(RecKind::Object, this, std::move(object));
    handles.Own(rec.index);
    return &rec;
}

FontRec* Document::WrapFont(QPDFObjectHandle font) {
    HandleTable& table = S().handles;
    if (font.isIndirect()) {
        QPDFObjGen og = font.getObjGen();
        auto it = handles.fonts.find(og);
        if (it != handles.fonts.end()) {
            return &table.At(it->second);
        }
        FontRec& rec = table.Add(RecKind::Font, this, std::move(font));
        handles.kept.push_back(rec.index);
        handles.fonts.emplace(og, rec.index);
        return &rec;
    }
    FontRec& rec = table.Add(RecKind::Font, this, std::move(font));
    handles.Own(rec.index);
    return &rec;
}

Document* CheckDoc(HDoc doc) {
    auto* d = reinterpret_cast<Document*>(doc);
    if (d == nullptr || S().documents.count(d) == 0) {
        throw HostException(kHErrBadParameter, "Bad document handle.");
    }
    return d;
}

Document* CheckCosDoc(HCosDoc doc) { return CheckDoc(reinterpret_cast<HDoc>(doc)); }

ObjectRec* CheckObject(HObject object) {
    ObjectRec* rec = S().handles.Find(object, RecKind::Object);
    if (rec == nullptr) {
        throw HostException(kHErrBadParameter, "Bad object handle.");
    }
    return rec;
}
PageRec* CheckPage(HPage page) {
    auto* rec = reinterpret_cast<PageRec*>(page);
    if (rec == nullptr || rec->magic != kMagicPage || S().documents.count(rec->doc) == 0 ||
        rec->doc->pages.count(rec) == 0) {
        throw HostException(kHErrBadParameter, "Bad page handle.");
    }
    return rec;
}
FontRec* CheckFont(HFont font) {
    FontRec* rec = S().handles.Find(font, RecKind::Font);
    if (rec == nullptr) {
        throw HostException(kHErrBadParameter, "Bad font handle.");
    }
    return rec;
}
StreamRec* CheckStream(HStream stream) {
    auto* rec = reinterpret_cast<StreamRec*>(stream);
    if (rec == nullptr || S().streams.count(rec) == 0) {
        throw HostException(kHErrBadParameter, "Bad stream handle.");
    }
    return rec;
}
PathRec* CheckPath(HPath path) {
    auto* rec = reinterpret_cast<PathRec*>(path);
    if (rec == nullptr || S().paths.count(rec) == 0) {
        throw HostException(kHErrBadParameter, "Bad path handle.");
    }
    return rec;
}
ViewRec* CheckView(HView view) {
    auto* rec = reinterpret_cast<ViewRec*>(view);
    if (rec == nullptr || S().views.count(rec) == 0) {
        throw HostException(kHErrBadParameter, "Bad view handle.");
    }
    return rec;
}
void CheckOut(const void* out) {
    if (out == nullptr) {
        throw HostException(kHErrBadParameter, "");
    }
}

void CopyText(const std::string& text, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) {
        throw HostException(kHErrBadParameter, "");
    }
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

void Document::Changed() {
    flags |= kHDocNeedsSave;
    if (g_host != nullptr && g_host->state().observer != nullptr) {
        g_host->state().observer->DocumentChanged(ToHandle(this));
    }
}

// ---- Fault switch ----

void FaultSwitch::Arm(const std::string& operation, int callNumber) {
    Faults().armed[operation] = callNumber;
}
void FaultSwitch::Disarm(const std::string& operation) { Faults().armed.erase(operation); }
void FaultSwitch::DisarmAll() { Faults().armed.clear(); }
bool FaultSwitch::Trips(const std::string& operation) {
    auto& armed = Faults().armed;
    auto it = armed.find(operation);
    if (it == armed.end()) {
        return false;
    }
    if (--it->second > 0) {
        return false;
    }
    armed.erase(it);
    return true;
}

// ---- Sinks ----

int32_t TerminalSink::ShowAlert(int32_t, const std::string& message,
                                const std::vector<std::string>&) {
    std::cerr << message << std::endl;
    return 1;
}
int32_t TerminalSink::ConfirmAlert(const std::string& message) {
    std::cerr << message << (confirm_ ? " [OK]" : " [Cancel]") << std::endl;
    return confirm_ ? 1 : 0;
}
void TerminalSink::ShowNote(const std::string& message) { std::cerr << message << std::endl; }

namespace {
int32_t TakeAnswer(std::vector<int32_t>& queue) {
    if (queue.empty()) {
        return 1;
    }
    int32_t answer = queue.front();
    queue.erase(queue.begin());
    return answer;
}
} // namespace

int32_t RecordingSink::ShowAlert(int32_t iconKind, const std::string& message,
                                 const std::vector<std::string>& buttons) {
    messages.push_back({Message::Kind::Alert, iconKind, message, buttons});
    return TakeAnswer(alertAnswers);
}
int32_t RecordingSink::ConfirmAlert(const std::string& message) {
    messages.push_back({Message::Kind::Confirm, 0, message, {}});
    return TakeAnswer(confirmAnswers);
}
void RecordingSink::ShowNote(const std::string& message) {
    messages.push_back({Message::Kind::Note, 0, message, {}});
}

// ---- Core table ----

namespace {

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

void GetErrorText(HErrorCode code, char* buffer, size_t bufferSize) {
    if (buffer == nullptr || bufferSize == 0) {
        return;
    }
    std::string text;
    if (const char* fixed = FixedErrorText(code)) {
        text = fixed;
    } else if (code == kHErrNone) {
        text = "No error.";
    } else if (g_host != nullptr && g_host->state().errorTexts.count(code) != 0) {
        text = g_host->state().errorTexts[code];
    } else {
        text = "Unknown host error " + std::to_string(code) + ".";
    }
    size_t n = std::min(text.size(), bufferSize - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
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
        S().paths.insert(rec.get());
        *path = reinterpret_cast<HPath>(rec.release());
    });
}

HErrorCode ReleasePath(HFileSys fileSystem, HPath path) {
    return Entry("ReleasePath", [&] {
        CheckFileSystem(fileSystem);
        PathRec* rec = CheckPath(path);
        S().paths.erase(rec);
        delete rec;
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
        S().streams.insert(rec.get());
        *stream = reinterpret_cast<HStream>(rec.release());
    });
}

HErrorCode CloseStream(HStream stream) {
    return Entry("CloseStream", [&] {
        StreamRec* rec = CheckStream(stream);
        S().streams.erase(rec);
        delete rec;
    });
}

// ---- Object scopes ----

HErrorCode BeginObjectScope(HDoc handle, int32_t* scope) {
    return Entry("BeginObjectScope", [&] {
        CheckOut(scope);
        Document* doc = CheckDoc(handle);
        if (doc->handles.scopes.size() >= INT32_MAX) {
            Fail("Too many object scopes are open.");
        }
        doc->handles.scopes.emplace_back();
        *scope = static_cast<int32_t>(doc->handles.scopes.size());
    });
}

HErrorCode EndObjectScope(HDoc handle, int32_t scope) {
    return Entry("EndObjectScope", [&] {
        Document* doc = CheckDoc(handle);
        if (scope < 1 || static_cast<size_t>(scope) > doc->handles.scopes.size()) {
            throw HostException(kHErrBadParameter, "No object scope " + std::to_string(scope) +
                                                       " is open in " + doc->path + ".");
        }
        doc->handles.EndScopes(static_cast<size_t>(scope));
    });
}

} // namespace

void FillObjectScopeFunctions(HostModelTable& t) {
    t.BeginObjectScope = BeginObjectScope;
    t.EndObjectScope = EndObjectScope;
}

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
#ifdef __GLIBC__
    // QPDFWriter compresses each stream with a fresh zlib state of about 270 KB. At the top of
    // the heap, glibc gives that back to the system after every stream (its trim threshold is
    // 128 KB) and faults it in again for the next: saving a small stamped file took ten times
    // as long as writing it. Freed memory up to this much stays with the process instead.
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
#endif
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
    state_->menus.push_back({"Extensions", {}});
    state_->menus.push_back({"AboutExtensions", {}});
    g_host = this;
}

Host::~Host() {
    State& s = *state_;
    while (!s.documents.empty()) {
        CloseDocumentRec(*s.documents.begin());
    }
    for (ViewRec* view : s.views) {
        delete view;
    }
    for (StreamRec* stream : s.streams) {
        delete stream;
    }
    for (PathRec* path : s.paths) {
        delete path;
    }
    g_host = nullptr;
}

Host* Host::Current() { return g_host; }

const HostCoreTable* Host::GetHostCoreTable() const { return &state_->core; }

void Host::SetMessageSink(MessageSink* sink) { state_->sink = sink; }
void Host::SetObserver(HostObserver* observer) { state_->observer = observer; }
void Host::SetAppPreference(int32_t preference, int32_t value) {
    state_->appPreferences[preference] = value;
}
MessageSink* Host::GetMessageSink() const { return state_->sink; }

void Host::SetActiveDocument(HDoc doc) {
    State& s = *state_;
    if (s.activeView != nullptr) {
        s.views.erase(s.activeView);
        delete s.activeView;
        s.activeView = nullptr;
    }
    if (doc == nullptr) {
        return;
    }
    auto* d = reinterpret_cast<Document*>(doc);
    if (s.documents.count(d) == 0) {
        throw std::invalid_argument("SetActiveDocument: not an open document");
    }
    auto* view = new ViewRec;
    view->doc = d;
    s.views.insert(view);
    s.activeView = view;
}

HDoc Host::GetActiveDocument() const {
    return state_->activeView != nullptr ? ToHandle(state_->activeView->doc) : nullptr;
}

HView Host::GetActiveView() const { return reinterpret_cast<HView>(state_->activeView); }

void Host::SetMainWindow(void* window) { state_->mainWindow = window; }

void Host::SetTableVersion(const std::string& tableName, uint32_t version) {
    state_->grantedVersions[tableName] = version;
}

void Host::AddMenu(const std::string& menuName) {
    for (auto& menu : state_->menus) {
        if (menu.name == menuName) {
            state_->removedMenus.erase(menuName);
            return;
        }
    }
    state_->menus.push_back({menuName, {}});
    state_->removedMenus.erase(menuName);
}

void Host::RemoveMenu(const std::string& menuName) { state_->removedMenus.insert(menuName); }

std::vector<MenuItemInfo> Host::MenuItems(const std::string& menuName) const {
    std::vector<MenuItemInfo> items;
    for (const auto& menu : state_->menus) {
        if (menu.name == menuName) {
            for (const auto* item : menu.items) {
                items.push_back({item->title, item->name, item->execute != nullptr,
                                 item->enable != nullptr});
            }
        }
    }
    return items;
}

namespace {
Host::State::MenuItem* FindItem(Host::State& s, const std::string& itemName) {
    for (auto& menu : s.menus) {
        for (auto* item : menu.items) {
            if (item->name == itemName) {
                return item;
            }
        }
    }
    return nullptr;
}
} // namespace

bool Host::IsMenuItemEnabled(const std::string& itemName) const {
    auto* item = FindItem(*state_, itemName);
    if (item == nullptr) {
        return false;
    }
    if (item->enable == nullptr) {
        return true;
    }
    return reinterpret_cast<HMenuEnableProc>(item->enable)(item->enableData) != 0;
}

bool Host::ExecuteMenuItem(const std::string& itemName) {
    auto* item = FindItem(*state_, itemName);
    if (item == nullptr || item->execute == nullptr || !IsMenuItemEnabled(itemName)) {
        return false;
    }
    reinterpret_cast<HMenuProc>(item->execute)(item->executeData);
    return true;
}

void Host::SetPrintToFile(const std::string& path) { state_->printToFile = path; }
void Host::SetPrintDestination(const std::string& destination) {
    state_->printDestination = destination;
}

std::vector<void*> Host::ModelessWindows() const { return state_->modeless; }

std::vector<std::string> Host::DocumentWarnings(HDoc doc) const {
    auto* d = reinterpret_cast<Document*>(doc);
    if (state_->documents.count(d) == 0) {
        return {};
    }
    return d->warnings;
}

size_t Host::ObjectHandleCount() const { return state_->handles.LiveCount() - 1; }

std::string Host::ErrorText(HErrorCode code) const {
    char buffer[2000];
    GetErrorText(code, buffer, sizeof buffer);
    return buffer;
}

} // namespace tesser::host
