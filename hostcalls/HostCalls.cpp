#include "hostcalls/HostCalls.h"

#include <array>
#include <exception>
#include <tuple>
#include <type_traits>

namespace tesser::hostcalls {

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

const HostCosTable& Cos() {
    return *Connected().cos;
}
const HostModelTable& Model() {
    return *Connected().model;
}
const HostViewTable& View() {
    return *Connected().view;
}
const HostSupportTable& Support() {
    return *Connected().support;
}
const HostWinTable& Win() {
    return *Connected().win;
}

// Calls a table function whose last parameter is its result, with the other arguments given,
// and answers the result; a host error code throws HostError.
template <typename... Params, typename... Args>
auto Answer(HErrorCode (*function)(Params...), Args... args) {
    using ResultPointer = std::tuple_element_t<sizeof...(Params) - 1, std::tuple<Params...>>;
    std::remove_pointer_t<ResultPointer> result{};
    Check(function(args..., &result));
    return result;
}

// The tables that gained entries after their first release, and how a message names them.
template <typename Table> const Table& Imported();
template <> const HostCosTable& Imported<HostCosTable>() {
    return Cos();
}
template <> const HostModelTable& Imported<HostModelTable>() {
    return Model();
}
template <typename Table> constexpr const char* kTableName = nullptr;
template <> constexpr const char* kTableName<HostCosTable> = "Cos";
template <> constexpr const char* kTableName<HostModelTable> = "PDModel";

// An entry appended to a table after its first release, or an error naming it. A host built
// before the entry existed gives a smaller table.
template <typename Table, typename Fn> Fn Addition(Fn Table::*entry, const char* name) {
    const Table& table = Imported<Table>();
    const auto offset = static_cast<size_t>(reinterpret_cast<const char*>(&(table.*entry)) -
                                            reinterpret_cast<const char*>(&table));
    if (table.size < offset + sizeof(Fn) || table.*entry == nullptr) {
        throw HostError(kHErrNotFound, std::string("The host does not offer the ") +
                                           kTableName<Table> + " function " + name + ".");
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

void DisconnectHost() {
    g_tables = HostTables{};
}
bool HostConnected() {
    return g_tables.core != nullptr;
}
const HostTables& Tables() {
    return g_tables;
}

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
    return Answer(Connected().core->CreateAtom, text.c_str());
}

std::string GetAtomText(HAtom atom) {
    std::array<char, 1024> buffer{};
    Check(Connected().core->GetAtomText(atom, buffer.data(), buffer.size()));
    return std::string(buffer.data());
}

// Support.
HFileSys GetDefaultFileSystem() {
    return Answer(Support().GetDefaultFileSystem);
}

HPath PathFromPlatformPath(HFileSys fileSystem, const std::string& utf8Path) {
    return Answer(Support().PathFromPlatformPath, fileSystem, utf8Path.c_str());
}

void ReleasePath(HFileSys fileSystem, HPath path) {
    Check(Support().ReleasePath(fileSystem, path));
}

HStream OpenMemoryReadStream(const char* bytes, size_t length) {
    return Answer(Support().OpenMemoryReadStream, bytes, length);
}

void CloseStream(HStream stream) {
    Check(Support().CloseStream(stream));
}

// Cos.
int32_t GetObjectType(HObject object) {
    return Answer(Cos().GetObjectType, object);
}

bool ObjectsEqual(HObject a, HObject b) {
    return Answer(Cos().ObjectsEqual, a, b) != 0;
}

HAtom GetNameAtom(HObject name) {
    return Answer(Cos().GetNameAtom, name);
}

HFixed GetFixedValue(HObject number) {
    return Answer(Cos().GetFixedValue, number);
}

bool GetBooleanValue(HObject boolean) {
    return Answer(Cos().GetBooleanValue, boolean) != 0;
}

int32_t GetIntegerValue(HObject integer) {
    return Answer(Cos().GetIntegerValue, integer);
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
    return Answer(Cos().NewNull);
}

HObject NewInteger(HCosDoc doc, bool indirect, int32_t value) {
    return Answer(Cos().NewInteger, doc, indirect, value);
}

HObject NewFixed(HCosDoc doc, bool indirect, HFixed value) {
    return Answer(Cos().NewFixed, doc, indirect, value);
}

HObject NewBoolean(HCosDoc doc, bool indirect, bool value) {
    return Answer(Cos().NewBoolean, doc, indirect, value);
}

HObject NewName(HCosDoc doc, bool indirect, HAtom name) {
    return Answer(Cos().NewName, doc, indirect, name);
}

HObject NewString(HCosDoc doc, bool indirect, const std::string& bytes) {
    return Answer(Cos().NewString, doc, indirect, bytes.data(), bytes.size());
}

HObject NewArray(HCosDoc doc, bool indirect, int32_t initialSize) {
    return Answer(Cos().NewArray, doc, indirect, initialSize);
}

HObject NewDict(HCosDoc doc, bool indirect, int32_t initialSize) {
    return Answer(Cos().NewDict, doc, indirect, initialSize);
}

HObject NewStream(HCosDoc doc, bool indirect, HStream source, int64_t sourceOffset, bool decode,
                  HObject attributes, HObject parameters, int64_t sourceLength) {
    return Answer(Cos().NewStream, doc, indirect, source, sourceOffset, decode, attributes,
                  parameters, sourceLength);
}

void DestroyObject(HObject object) {
    Check(Cos().DestroyObject(object));
}

bool DictKnown(HObject dict, HAtom key) {
    return Answer(Cos().DictKnown, dict, key) != 0;
}

HObject DictGet(HObject dict, HAtom key) {
    return Answer(Cos().DictGet, dict, key);
}

void DictPut(HObject dict, HAtom key, HObject value) {
    Check(Cos().DictPut(dict, key, value));
}
void DictRemove(HObject dict, HAtom key) {
    Check(Cos().DictRemove(dict, key));
}

int32_t ArrayLength(HObject array) {
    return Answer(Cos().ArrayLength, array);
}

HObject ArrayGet(HObject array, int32_t index) {
    return Answer(Cos().ArrayGet, array, index);
}

void ArrayPut(HObject array, int32_t index, HObject element) {
    Check(Cos().ArrayPut(array, index, element));
}

void ArrayInsert(HObject array, int32_t index, HObject element) {
    Check(Cos().ArrayInsert(array, index, element));
}

void ArrayRemove(HObject array, HObject element) {
    Check(Cos().ArrayRemove(array, element));
}

HObject GetCatalog(HCosDoc doc) {
    return Answer(Cos().GetCatalog, doc);
}

HObject GetInfoDict(HCosDoc doc) {
    return Answer(Addition(&HostCosTable::GetInfoDict, "GetInfoDict"), doc);
}

void RemoveInfoDict(HCosDoc doc) {
    Check(Addition(&HostCosTable::RemoveInfoDict, "RemoveInfoDict")(doc));
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
    const auto enumerate = Addition(&HostCosTable::DictEnumerate, "DictEnumerate");
    const HErrorCode code = enumerate(dict, VisitEntry, &state);
    if (state.error) {
        std::rethrow_exception(state.error);
    }
    Check(code);
}

int32_t GetObjectNumber(HObject object) {
    return Answer(Addition(&HostCosTable::GetObjectNumber, "GetObjectNumber"), object);
}

// PDModel.
HDoc OpenDocument(HPath path, HFileSys fileSystem, HAuthProc authProc, void* clientData,
                  bool repairQuietly) {
    return Answer(Model().OpenDocument, path, fileSystem, authProc, clientData, repairQuietly);
}

void SaveDocument(HDoc doc, int32_t flags, HPath path, HFileSys fileSystem) {
    Check(Model().SaveDocument(doc, flags, path, fileSystem));
}

void CloseDocument(HDoc doc) {
    Check(Model().CloseDocument(doc));
}

HCosDoc GetCosDocument(HDoc doc) {
    return Answer(Model().GetCosDocument, doc);
}

int32_t GetDocumentFlags(HDoc doc) {
    return Answer(Model().GetDocumentFlags, doc);
}

void SetDocumentFlags(HDoc doc, int32_t flags) {
    Check(Model().SetDocumentFlags(doc, flags));
}
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
    return Answer(Model().GetPageCount, doc);
}

HPage AcquirePage(HDoc doc, int32_t index) {
    return Answer(Model().AcquirePage, doc, index);
}

void ReleasePage(HPage page) {
    Check(Model().ReleasePage(page));
}

int32_t BeginObjectScope(HDoc doc) {
    return Answer(Addition(&HostModelTable::BeginObjectScope, "BeginObjectScope"), doc);
}

void EndObjectScope(HDoc doc, int32_t scope) {
    Check(Addition(&HostModelTable::EndObjectScope, "EndObjectScope")(doc, scope));
}

int32_t GetPageNumber(HPage page) {
    return Answer(Model().GetPageNumber, page);
}

HDoc GetPageDocument(HPage page) {
    return Answer(Model().GetPageDocument, page);
}

HObject GetPageCosObject(HPage page) {
    return Answer(Model().GetPageCosObject, page);
}

HObject GetPageResources(HPage page) {
    return Answer(Model().GetPageResources, page);
}

HFixedRect GetPageMediaBox(HPage page) {
    return Answer(Model().GetPageMediaBox, page);
}

HFixedRect GetPageCropBox(HPage page) {
    return Answer(Model().GetPageCropBox, page);
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
    return Answer(Model().GetFontObject, font);
}

void AddPageResource(HPage page, const std::string& category, const std::string& name,
                     HObject object) {
    Check(Model().AddPageResource(page, category.c_str(), name.c_str(), object));
}

void TranslateText(const char* in, char* out, size_t length) {
    Check(Model().TranslateText(in, out, length));
}

void* GetSecurityData(HDoc doc) {
    return Answer(Model().GetSecurityData, doc);
}

HAtom GetSecurityHandlerName(HDoc doc) {
    return Answer(Model().GetSecurityHandlerName, doc);
}

int32_t Authorise(HDoc doc, int32_t requested, const std::string& password) {
    return Answer(Model().Authorise, doc, requested, password.c_str());
}

int32_t GetDocumentPermissions(HDoc doc) {
    return Answer(Model().GetDocumentPermissions, doc);
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
    return Answer(Model().NewSecurityData, doc);
}

void SetSecurityData(HDoc doc, const unsigned char* record) {
    Check(Model().SetSecurityData(doc, record));
}

// AcroView.
HDoc GetActiveDocument() {
    return Answer(View().GetActiveDocument);
}

HView GetActiveView() {
    return Answer(View().GetActiveView);
}

HDoc GetViewDocument(HView view) {
    return Answer(View().GetViewDocument, view);
}

HView OpenView(HDoc doc) {
    return Answer(View().OpenView, doc);
}

void CloseView(HView view, bool flag) {
    Check(View().CloseView(view, flag));
}

int32_t GetAppPreference(int32_t preference) {
    return Answer(View().GetAppPreference, preference);
}

void PrintPages(HView view, int32_t first, int32_t last, int32_t preference, bool showDialog,
                bool shrinkToFit) {
    Check(View().PrintPages(view, first, last, preference, showDialog, shrinkToFit));
}

HMenuBar GetMenuBar() {
    return Answer(View().GetMenuBar);
}

HMenu AcquireMenu(HMenuBar menuBar, const std::string& name) {
    return Answer(View().AcquireMenu, menuBar, name.c_str());
}

HMenuItem NewMenuItem(const std::string& title, const std::string& itemName, HMenu submenu,
                      bool longMenusOnly, int32_t shortcut, int32_t shortcutFlags, void* icon,
                      HExtensionID extension) {
    return Answer(View().NewMenuItem, title.c_str(), itemName.c_str(), submenu, longMenusOnly,
                  shortcut, shortcutFlags, icon, extension);
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

void ReleaseMenu(HMenu menu) {
    Check(View().ReleaseMenu(menu));
}

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
    return Answer(Win().GetMainWindow);
}

HHostWindow CreateHostWindow(int32_t layer, int32_t flags, void* handler, void* window) {
    return Answer(Win().CreateHostWindow, layer, flags, handler, Tables().extension, window);
}
void EndHostWindow() {
    Check(Win().EndHostWindow());
}
void RegisterModelessWindow(void* window) {
    Check(Win().RegisterModelessWindow(window));
}
void UnregisterModelessWindow(void* window) {
    Check(Win().UnregisterModelessWindow(window));
}

void ReleaseHostPath(HostPath path) {
    ReleasePath(path.fileSystem, path.path);
}
void EndHostObjectScope(HostObjectScope scope) {
    EndObjectScope(scope.doc, scope.depth);
}
void CloseView(HView view) {
    CloseView(view, true);
}

ObjectScopeHandle TryBeginObjectScope(HDoc doc) {
    try {
        return ObjectScopeHandle(doc, BeginObjectScope(doc));
    } catch (const HostError&) {
        return ObjectScopeHandle();
    }
}

} // namespace tesser::hostcalls
