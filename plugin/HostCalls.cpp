#include "plugin/HostCalls.h"

#include <array>
#include <exception>

namespace tesser::plugin {

namespace {

HostTables g_tables;

template <typename Table>
const Table* Import(const HostCoreTable* core, const char* name, uint32_t version) {
    HAtom atom = 0;
    if (core->CreateAtom(name, &atom) != kHErrNone) {
        return nullptr;
    }
    const void* table = nullptr;
    if (core->ImportFunctionTable(atom, version, &table) != kHErrNone) {
        return nullptr;
    }
    return static_cast<const Table*>(table);
}

const HostTables& Connected() {
    if (g_tables.core == nullptr) {
        throw HostError(kHErrGeneral, "The plug-in is not connected to a host.");
    }
    return g_tables;
}

const HostCosTable& Cos() { return *Connected().cos; }
const HostModelTable& Model() { return *Connected().model; }
const HostViewTable& View() { return *Connected().view; }
const HostSupportTable& Support() { return *Connected().support; }
const HostWinTable& Win() { return *Connected().win; }

// An entry appended to the Cos table after its first release, or an error naming it. A host
// built before the entry existed gives a smaller table.
template <typename Fn>
Fn CosAddition(Fn HostCosTable::*entry, const char* name) {
    const HostCosTable& table = Cos();
    const auto offset = static_cast<size_t>(reinterpret_cast<const char*>(&(table.*entry)) -
                                            reinterpret_cast<const char*>(&table));
    if (table.size < offset + sizeof(Fn) || table.*entry == nullptr) {
        throw HostError(kHErrNotFound,
                        std::string("The host does not offer the Cos function ") + name + ".");
    }
    return table.*entry;
}

// An entry appended to the PDModel table after its first release, or an error naming it.
template <typename Fn>
Fn ModelAddition(Fn HostModelTable::*entry, const char* name) {
    const HostModelTable& table = Model();
    const auto offset = static_cast<size_t>(reinterpret_cast<const char*>(&(table.*entry)) -
                                            reinterpret_cast<const char*>(&table));
    if (table.size < offset + sizeof(Fn) || table.*entry == nullptr) {
        throw HostError(kHErrNotFound,
                        std::string("The host does not offer the PDModel function ") + name + ".");
    }
    return table.*entry;
}

} // namespace

bool ConnectHost(const HostCoreTable* core, HExtensionID extension) {
    g_tables = HostTables{};
    if (core == nullptr) {
        return false;
    }
    HostTables t;
    t.core = core;
    t.extension = extension;
    t.support = Import<HostSupportTable>(core, HOST_TABLE_ACROSUPPORT, HOST_TABLE_VERSION_2_2);
    if (t.support == nullptr) {
        return false;
    }
    t.cos = Import<HostCosTable>(core, HOST_TABLE_COS, HOST_TABLE_VERSION_2_2);
    if (t.cos == nullptr) {
        return false;
    }
    t.model = Import<HostModelTable>(core, HOST_TABLE_PDMODEL, HOST_TABLE_VERSION_2_2);
    if (t.model == nullptr) {
        return false;
    }
    t.view = Import<HostViewTable>(core, HOST_TABLE_ACROVIEW, HOST_TABLE_VERSION_2_2);
    if (t.view == nullptr) {
        return false;
    }
    for (uint32_t version :
         {HOST_TABLE_VERSION_2_2, HOST_TABLE_VERSION_2_1, HOST_TABLE_VERSION_2_0}) {
        t.win = Import<HostWinTable>(core, HOST_TABLE_WIN, version);
        if (t.win != nullptr) {
            t.winVersion = version;
            break;
        }
    }
    if (t.win == nullptr) {
        return false;
    }
    g_tables = t;
    return true;
}

void DisconnectHost() { g_tables = HostTables{}; }
bool HostConnected() { return g_tables.core != nullptr; }
const HostTables& Tables() { return g_tables; }

std::string ErrorText(HErrorCode code) {
    if (g_tables.core == nullptr) {
        return "Host error " + std::to_string(code);
    }
    std::array<char, 2048> buffer{};
    g_tables.core->GetErrorText(code, buffer.data(), buffer.size());
    return std::string(buffer.data());
}

void Check(HErrorCode code) {
    if (code != kHErrNone) {
        throw HostError(code, ErrorText(code));
    }
}

// Core.
HAtom CreateAtom(const std::string& text) {
    HAtom atom = 0;
    Check(Connected().core->CreateAtom(text.c_str(), &atom));
    return atom;
}

std::string GetAtomText(HAtom atom) {
    std::array<char, 1024> buffer{};
    Check(Connected().core->GetAtomText(atom, buffer.data(), buffer.size()));
    return std::string(buffer.data());
}

// Support.
HFileSys GetDefaultFileSystem() {
    HFileSys fs = nullptr;
    Check(Support().GetDefaultFileSystem(&fs));
    return fs;
}

HPath PathFromPlatformPath(HFileSys fileSystem, const std::string& utf8Path) {
    HPath path = nullptr;
    Check(Support().PathFromPlatformPath(fileSystem, utf8Path.c_str(), &path));
    return path;
}

void ReleasePath(HFileSys fileSystem, HPath path) {
    Check(Support().ReleasePath(fileSystem, path));
}

HStream OpenMemoryReadStream(const char* bytes, size_t length) {
    HStream stream = nullptr;
    Check(Support().OpenMemoryReadStream(bytes, length, &stream));
    return stream;
}

void CloseStream(HStream stream) { Check(Support().CloseStream(stream)); }

// Cos.
int32_t GetObjectType(HObject object) {
    int32_t type = 0;
    Check(Cos().GetObjectType(object, &type));
    return type;
}

bool ObjectsEqual(HObject a, HObject b) {
    HBool equal = 0;
    Check(Cos().ObjectsEqual(a, b, &equal));
    return equal != 0;
}

HAtom GetNameAtom(HObject name) {
    HAtom atom = 0;
    Check(Cos().GetNameAtom(name, &atom));
    return atom;
}

HFixed GetFixedValue(HObject number) {
    HFixed value = 0;
    Check(Cos().GetFixedValue(number, &value));
    return value;
}

bool GetBooleanValue(HObject boolean) {
    HBool value = 0;
    Check(Cos().GetBooleanValue(boolean, &value));
    return value != 0;
}

int32_t GetIntegerValue(HObject integer) {
    int32_t value = 0;
    Check(Cos().GetIntegerValue(integer, &value));
    return value;
}

std::string GetStringValue(HObject string) {
    size_t length = 0;
    Check(Cos().GetStringValue(string, nullptr, 0, &length));
    std::string bytes(length, '\0');
    Check(Cos().GetStringValue(string, bytes.data(), bytes.size(), &length));
    bytes.resize(std::min(length, bytes.size()));
    return bytes;
}

std::string GetStreamData(HObject stream) {
    size_t length = 0;
    Check(Cos().GetStreamData(stream, nullptr, 0, &length));
    std::string bytes(length, '\0');
    Check(Cos().GetStreamData(stream, bytes.data(), bytes.size(), &length));
    bytes.resize(std::min(length, bytes.size()));
    return bytes;
}

HObject NewNull() {
    HObject object = nullptr;
    Check(Cos().NewNull(&object));
    return object;
}

HObject NewInteger(HCosDoc doc, bool indirect, int32_t value) {
    HObject object = nullptr;
    Check(Cos().NewInteger(doc, indirect, value, &object));
    return object;
}

HObject NewFixed(HCosDoc doc, bool indirect, HFixed value) {
    HObject object = nullptr;
    Check(Cos().NewFixed(doc, indirect, value, &object));
    return object;
}

HObject NewBoolean(HCosDoc doc, bool indirect, bool value) {
    HObject object = nullptr;
    Check(Cos().NewBoolean(doc, indirect, value, &object));
    return object;
}

HObject NewName(HCosDoc doc, bool indirect, HAtom name) {
    HObject object = nullptr;
    Check(Cos().NewName(doc, indirect, name, &object));
    return object;
}

HObject NewString(HCosDoc doc, bool indirect, const std::string& bytes) {
    HObject object = nullptr;
    Check(Cos().NewString(doc, indirect, bytes.data(), bytes.size(), &object));
    return object;
}

HObject NewArray(HCosDoc doc, bool indirect, int32_t initialSize) {
    HObject object = nullptr;
    Check(Cos().NewArray(doc, indirect, initialSize, &object));
    return object;
}

HObject NewDict(HCosDoc doc, bool indirect, int32_t initialSize) {
    HObject object = nullptr;
    Check(Cos().NewDict(doc, indirect, initialSize, &object));
    return object;
}

HObject NewStream(HCosDoc doc, bool indirect, HStream source, int64_t sourceOffset, bool decode,
                  HObject attributes, HObject parameters, int64_t sourceLength) {
    HObject object = nullptr;
    Check(Cos().NewStream(doc, indirect, source, sourceOffset, decode, attributes, parameters,
                          sourceLength, &object));
    return object;
}

void DestroyObject(HObject object) { Check(Cos().DestroyObject(object)); }

bool DictKnown(HObject dict, HAtom key) {
    HBool known = 0;
    Check(Cos().DictKnown(dict, key, &known));
    return known != 0;
}

HObject DictGet(HObject dict, HAtom key) {
    HObject value = nullptr;
    Check(Cos().DictGet(dict, key, &value));
    return value;
}

void DictPut(HObject dict, HAtom key, HObject value) { Check(Cos().DictPut(dict, key, value)); }
void DictRemove(HObject dict, HAtom key) { Check(Cos().DictRemove(dict, key)); }

int32_t ArrayLength(HObject array) {
    int32_t length = 0;
    Check(Cos().ArrayLength(array, &length));
    return length;
}

HObject ArrayGet(HObject array, int32_t index) {
    HObject element = nullptr;
    Check(Cos().ArrayGet(array, index, &element));
    return element;
}

void ArrayPut(HObject array, int32_t index, HObject element) {
    Check(Cos().ArrayPut(array, index, element));
}

void ArrayInsert(HObject array, int32_t index, HObject element) {
    Check(Cos().ArrayInsert(array, index, element));
}

void ArrayRemove(HObject array, HObject element) { Check(Cos().ArrayRemove(array, element)); }

HObject GetCatalog(HCosDoc doc) {
    HObject catalog = nullptr;
    Check(Cos().GetCatalog(doc, &catalog));
    return catalog;
}

HObject GetInfoDict(HCosDoc doc) {
    HObject info = nullptr;
    Check(CosAddition(&HostCosTable::GetInfoDict, "GetInfoDict")(doc, &info));
    return info;
}

void RemoveInfoDict(HCosDoc doc) {
    Check(CosAddition(&HostCosTable::RemoveInfoDict, "RemoveInfoDict")(doc));
}

namespace {

struct EnumerationState {
    const std::function<bool(HAtom, HObject)>* visit;
    std::exception_ptr error;
};

HBool VisitEntry(HAtom key, HObject value, void* clientData) {
    auto* state = static_cast<EnumerationState*>(clientData);
    try {
        return (*state->visit)(key, value) ? 1 : 0;
    } catch (...) {
        state->error = std::current_exception();
        return 0;
    }
}

} // namespace

void DictEnumerate(HObject dict, const std::function<bool(HAtom key, HObject value)>& visit) {
    EnumerationState state{&visit, nullptr};
    const auto enumerate = CosAddition(&HostCosTable::DictEnumerate, "DictEnumerate");
    const HErrorCode code = enumerate(dict, VisitEntry, &state);
    if (state.error) {
        std::rethrow_exception(state.error);
    }
    Check(code);
}

// PDModel.
HDoc OpenDocument(HPath path, HFileSys fileSystem, HAuthProc authProc, void* clientData,
                  bool repairQuietly) {
    HDoc doc = nullptr;
    Check(Model().OpenDocument(path, fileSystem, authProc, clientData, repairQuietly, &doc));
    return doc;
}

void SaveDocument(HDoc doc, int32_t flags, HPath path, HFileSys fileSystem) {
    Check(Model().SaveDocument(doc, flags, path, fileSystem));
}

void CloseDocument(HDoc doc) { Check(Model().CloseDocument(doc)); }

HCosDoc GetCosDocument(HDoc doc) {
    HCosDoc cosDoc = nullptr;
    Check(Model().GetCosDocument(doc, &cosDoc));
    return cosDoc;
}

int32_t GetDocumentFlags(HDoc doc) {
    int32_t flags = 0;
    Check(Model().GetDocumentFlags(doc, &flags));
    return flags;
}

void SetDocumentFlags(HDoc doc, int32_t flags) { Check(Model().SetDocumentFlags(doc, flags)); }
void ClearDocumentFlags(HDoc doc, int32_t flags) {
    Check(Model().ClearDocumentFlags(doc, flags));
}

std::string GetDocInfo(HDoc doc, const std::string& entry, size_t maxBytes) {
    std::string bytes(maxBytes, '\0');
    size_t length = 0;
    Check(Model().GetDocInfo(doc, entry.c_str(), bytes.data(), bytes.size(), &length));
    bytes.resize(std::min(length, bytes.size()));
    return bytes;
}

void SetDocInfo(HDoc doc, const std::string& entry, const std::string& bytes) {
    Check(Model().SetDocInfo(doc, entry.c_str(), bytes.data(), bytes.size()));
}

int32_t GetPageCount(HDoc doc) {
    int32_t count = 0;
    Check(Model().GetPageCount(doc, &count));
    return count;
}

HPage AcquirePage(HDoc doc, int32_t index) {
    HPage page = nullptr;
    Check(Model().AcquirePage(doc, index, &page));
    return page;
}

void ReleasePage(HPage page) { Check(Model().ReleasePage(page)); }

int32_t BeginObjectScope(HDoc doc) {
    int32_t scope = 0;
    Check(ModelAddition(&HostModelTable::BeginObjectScope, "BeginObjectScope")(doc, &scope));
    return scope;
}

void EndObjectScope(HDoc doc, int32_t scope) {
    Check(ModelAddition(&HostModelTable::EndObjectScope, "EndObjectScope")(doc, scope));
}

int32_t GetPageNumber(HPage page) {
    int32_t index = 0;
    Check(Model().GetPageNumber(page, &index));
    return index;
}

HDoc GetPageDocument(HPage page) {
    HDoc doc = nullptr;
    Check(Model().GetPageDocument(page, &doc));
    return doc;
}

HObject GetPageCosObject(HPage page) {
    HObject dict = nullptr;
    Check(Model().GetPageCosObject(page, &dict));
    return dict;
}

HObject GetPageResources(HPage page) {
    HObject resources = nullptr;
    Check(Model().GetPageResources(page, &resources));
    return resources;
}

HFixedRect GetPageMediaBox(HPage page) {
    HFixedRect box{};
    Check(Model().GetPageMediaBox(page, &box));
    return box;
}

HFixedRect GetPageCropBox(HPage page) {
    HFixedRect box{};
    Check(Model().GetPageCropBox(page, &box));
    return box;
}

void NotifyPageContentsChanged(HPage page, bool flag) {
    Check(Model().NotifyPageContentsChanged(page, flag));
}

void EnumeratePageFonts(HPage page, HFontVisitor visitor, void* clientData) {
    Check(Model().EnumeratePageFonts(page, visitor, clientData));
}

std::string GetFontName(HFont font) {
    std::array<char, 65> buffer{};
    Check(Model().GetFontName(font, buffer.data(), buffer.size()));
    return std::string(buffer.data());
}

std::vector<int16_t> GetFontWidths(HFont font) {
    std::vector<int16_t> widths(256, 0);
    Check(Model().GetFontWidths(font, widths.data()));
    return widths;
}

HObject GetFontObject(HFont font) {
    HObject dict = nullptr;
    Check(Model().GetFontObject(font, &dict));
    return dict;
}

void AddPageResource(HPage page, const std::string& category, const std::string& name,
                     HObject object) {
    Check(Model().AddPageResource(page, category.c_str(), name.c_str(), object));
}

void TranslateText(const char* in, char* out, size_t length) {
    Check(Model().TranslateText(in, out, length));
}

void* GetSecurityData(HDoc doc) {
    void* data = nullptr;
    Check(Model().GetSecurityData(doc, &data));
    return data;
}

HAtom GetSecurityHandlerName(HDoc doc) {
    HAtom name = 0;
    Check(Model().GetSecurityHandlerName(doc, &name));
    return name;
}

int32_t Authorise(HDoc doc, int32_t requested, const std::string& password) {
    int32_t granted = 0;
    Check(Model().Authorise(doc, requested, password.c_str(), &granted));
    return granted;
}

int32_t GetDocumentPermissions(HDoc doc) {
    int32_t granted = 0;
    Check(Model().GetDocumentPermissions(doc, &granted));
    return granted;
}

std::vector<unsigned char> GetStandardSecurityData(HDoc doc) {
    std::vector<unsigned char> record(kHSecurityRecordSize, 0);
    HBool present = 0;
    Check(Model().GetStandardSecurityData(doc, record.data(), &present));
    if (present == 0) {
        record.clear();
    }
    return record;
}

void SetSecurityHandler(HDoc doc, HAtom handlerName) {
    Check(Model().SetSecurityHandler(doc, handlerName));
}

unsigned char* NewSecurityData(HDoc doc) {
    unsigned char* record = nullptr;
    Check(Model().NewSecurityData(doc, &record));
    return record;
}

void SetSecurityData(HDoc doc, const unsigned char* record) {
    Check(Model().SetSecurityData(doc, record));
}

// AcroView.
HDoc GetActiveDocument() {
    HDoc doc = nullptr;
    Check(View().GetActiveDocument(&doc));
    return doc;
}

HView GetActiveView() {
    HView view = nullptr;
    Check(View().GetActiveView(&view));
    return view;
}

HDoc GetViewDocument(HView view) {
    HDoc doc = nullptr;
    Check(View().GetViewDocument(view, &doc));
    return doc;
}

HView OpenView(HDoc doc) {
    HView view = nullptr;
    Check(View().OpenView(doc, &view));
    return view;
}

void CloseView(HView view, bool flag) { Check(View().CloseView(view, flag)); }

int32_t GetAppPreference(int32_t preference) {
    int32_t value = 0;
    Check(View().GetAppPreference(preference, &value));
    return value;
}

void PrintPages(HView view, int32_t first, int32_t last, int32_t preference, bool showDialog,
                bool shrinkToFit) {
    Check(View().PrintPages(view, first, last, preference, showDialog, shrinkToFit));
}

HMenuBar GetMenuBar() {
    HMenuBar bar = nullptr;
    Check(View().GetMenuBar(&bar));
    return bar;
}

HMenu AcquireMenu(HMenuBar menuBar, const std::string& name) {
    HMenu menu = nullptr;
    Check(View().AcquireMenu(menuBar, name.c_str(), &menu));
    return menu;
}

HMenuItem NewMenuItem(const std::string& title, const std::string& itemName, HMenu submenu,
                      bool longMenusOnly, int32_t shortcut, int32_t shortcutFlags, void* icon,
                      HExtensionID extension) {
    HMenuItem item = nullptr;
    Check(View().NewMenuItem(title.c_str(), itemName.c_str(), submenu, longMenusOnly, shortcut,
                             shortcutFlags, icon, extension, &item));
    return item;
}

void SetMenuItemExecuteProc(HMenuItem item, HCallback proc, void* clientData) {
    Check(View().SetMenuItemExecuteProc(item, proc, clientData));
}

void SetMenuItemEnableProc(HMenuItem item, HCallback proc, void* clientData) {
    Check(View().SetMenuItemEnableProc(item, proc, clientData));
}

void AddMenuItem(HMenu menu, HMenuItem item, int32_t position) {
    Check(View().AddMenuItem(menu, item, position));
}

void ReleaseMenu(HMenu menu) { Check(View().ReleaseMenu(menu)); }

void ShowAlert(int32_t iconKind, const std::string& message, const std::string& button) {
    if (!HostConnected()) {
        return;
    }
    int32_t answer = 0;
    (void)View().ShowAlert(iconKind, message.c_str(), button.c_str(), nullptr, nullptr, &answer);
}

int32_t ConfirmAlert(const std::string& message) {
    if (!HostConnected()) {
        return 0;
    }
    int32_t answer = 0;
    if (View().ConfirmAlert(message.c_str(), &answer) != kHErrNone) {
        return 0;
    }
    return answer;
}

void ShowNote(const std::string& message) {
    if (!HostConnected()) {
        return;
    }
    (void)View().ShowNote(message.c_str());
}

// Win.
void* GetMainWindow() {
    void* window = nullptr;
    Check(Win().GetMainWindow(&window));
    return window;
}

HHostWindow CreateHostWindow(int32_t layer, int32_t flags, void* handler, void* window) {
    HHostWindow hostWindow = nullptr;
    Check(Win().CreateHostWindow(layer, flags, handler, Tables().extension, window, &hostWindow));
    return hostWindow;
}
void EndHostWindow() { Check(Win().EndHostWindow()); }
void RegisterModelessWindow(void* window) { Check(Win().RegisterModelessWindow(window)); }
void UnregisterModelessWindow(void* window) { Check(Win().UnregisterModelessWindow(window)); }

PageHandle& PageHandle::operator=(PageHandle&& other) noexcept {
    if (this != &other) {
        if (page_ != nullptr && HostConnected()) {
            (void)Tables().model->ReleasePage(page_);
        }
        page_ = other.page_;
        other.page_ = nullptr;
    }
    return *this;
}

PageHandle::~PageHandle() {
    if (page_ != nullptr && HostConnected()) {
        (void)Tables().model->ReleasePage(page_);
    }
}

PathHandle::~PathHandle() {
    if (path_ != nullptr && HostConnected()) {
        (void)Tables().support->ReleasePath(fs_, path_);
    }
}

} // namespace tesser::plugin
