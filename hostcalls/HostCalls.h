// The plug-in's calls into the host.
//
// Each function calls one host table function and throws HostError when the host answers an
// error code; the error's text is the host's own (GetErrorText). A try/catch of HostError around
// a group of calls is therefore a host error frame. The guarded form (Guarded.h) catches the
// error at once, shows the operation's failure message and answers false.
//
// The tables are imported once by ConnectHost (the handshake, or an in-process host such as the
// command line and the tests) and stay valid until DisconnectHost.
#pragma once

#include "hostapi/HostApi.h"
#include "hostapi/ScopedHandle.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesser::hostcalls {

class HostError : public std::runtime_error {
public:
    HostError(HErrorCode code, const std::string& text) : std::runtime_error(text), code_(code) {}
    HErrorCode code() const { return code_; }

private:
    HErrorCode code_;
};

struct HostTables {
    const HostCoreTable* core = nullptr;
    const HostSupportTable* support = nullptr;
    const HostCosTable* cos = nullptr;
    const HostModelTable* model = nullptr;
    const HostViewTable* view = nullptr;
    const HostWinTable* win = nullptr;
    uint32_t winVersion = 0;
    HExtensionID extension = 0;
};

// Imports the five tables in the order AcroSupport, Cos, PDModel, AcroView (each at 0x20002) and
// Win (0x20002, else 0x20001, else 0x20000). Stops at the first table that cannot be had and
// answers false; the tables already imported are forgotten again.
bool ConnectHost(const HostCoreTable* core, HExtensionID extension);
void DisconnectHost();
bool HostConnected();
const HostTables& Tables();

// Throws HostError for a non-zero code. Used by every wrapper below.
void Check(HErrorCode code);
std::string ErrorText(HErrorCode code);

// Core.
HAtom CreateAtom(const std::string& text);
std::string GetAtomText(HAtom atom);

// Support.
HFileSys GetDefaultFileSystem();
HPath PathFromPlatformPath(HFileSys fileSystem, const std::string& utf8Path);
void ReleasePath(HFileSys fileSystem, HPath path);
HStream OpenMemoryReadStream(const char* bytes, size_t length);
void CloseStream(HStream stream);

// Cos.
int32_t GetObjectType(HObject object);
bool ObjectsEqual(HObject a, HObject b);
HAtom GetNameAtom(HObject name);
HFixed GetFixedValue(HObject number);
bool GetBooleanValue(HObject boolean);
int32_t GetIntegerValue(HObject integer);
std::string GetStringValue(HObject string);
std::string GetStreamData(HObject stream);
HObject NewNull();
HObject NewInteger(HCosDoc doc, bool indirect, int32_t value);
HObject NewFixed(HCosDoc doc, bool indirect, HFixed value);
HObject NewBoolean(HCosDoc doc, bool indirect, bool value);
HObject NewName(HCosDoc doc, bool indirect, HAtom name);
HObject NewString(HCosDoc doc, bool indirect, const std::string& bytes);
HObject NewArray(HCosDoc doc, bool indirect, int32_t initialSize);
HObject NewDict(HCosDoc doc, bool indirect, int32_t initialSize);
HObject NewStream(HCosDoc doc, bool indirect, HStream source, int64_t sourceOffset, bool decode,
                  HObject attributes, HObject parameters, int64_t sourceLength);
void DestroyObject(HObject object);
bool DictKnown(HObject dict, HAtom key);
HObject DictGet(HObject dict, HAtom key);
void DictPut(HObject dict, HAtom key, HObject value);
void DictRemove(HObject dict, HAtom key);
int32_t ArrayLength(HObject array);
HObject ArrayGet(HObject array, int32_t index);
void ArrayPut(HObject array, int32_t index, HObject element);
void ArrayInsert(HObject array, int32_t index, HObject element);
void ArrayRemove(HObject array, HObject element);
HObject GetCatalog(HCosDoc doc);
// Later entries of the Cos table: a host whose table lacks one raises HostError with
// kHErrNotFound naming the function.
HObject GetInfoDict(HCosDoc doc); // the null object when the document has none
void RemoveInfoDict(HCosDoc doc);
// Calls visit(key, value) for each entry (see HostApi.h) until it answers false. An exception
// thrown by visit ends the enumeration and is raised again here.
void DictEnumerate(HObject dict, const std::function<bool(HAtom key, HObject value)>& visit);
// The indirect object's number, 0 for a direct object.
int32_t GetObjectNumber(HObject object);

// PDModel.
HDoc OpenDocument(HPath path, HFileSys fileSystem, HAuthProc authProc, void* clientData,
                  bool repairQuietly);
void SaveDocument(HDoc doc, int32_t flags, HPath path, HFileSys fileSystem);
void CloseDocument(HDoc doc);
HCosDoc GetCosDocument(HDoc doc);
int32_t GetDocumentFlags(HDoc doc);
void SetDocumentFlags(HDoc doc, int32_t flags);
void ClearDocumentFlags(HDoc doc, int32_t flags);
std::string GetDocInfo(HDoc doc, const std::string& entry, size_t maxBytes = 1000);
void SetDocInfo(HDoc doc, const std::string& entry, const std::string& bytes);
int32_t GetPageCount(HDoc doc);
HPage AcquirePage(HDoc doc, int32_t index);
void ReleasePage(HPage page);
// Object scopes (hostapi/HostApi.h): handles of direct objects handed out inside a scope end with
// it. A host that has none answers kHErrNotFound.
int32_t BeginObjectScope(HDoc doc);
void EndObjectScope(HDoc doc, int32_t scope);
int32_t GetPageNumber(HPage page);
HDoc GetPageDocument(HPage page);
HObject GetPageCosObject(HPage page);
HObject GetPageResources(HPage page);
HFixedRect GetPageMediaBox(HPage page);
HFixedRect GetPageCropBox(HPage page);
void NotifyPageContentsChanged(HPage page, bool flag);
void EnumeratePageFonts(HPage page, HFontVisitor visitor, void* clientData);
std::string GetFontName(HFont font);
std::vector<int16_t> GetFontWidths(HFont font); // 256 entries
HObject GetFontObject(HFont font);
void AddPageResource(HPage page, const std::string& category, const std::string& name,
                     HObject object);
void TranslateText(const char* in, char* out, size_t length);
void* GetSecurityData(HDoc doc);
HAtom GetSecurityHandlerName(HDoc doc);
int32_t Authorise(HDoc doc, int32_t requested, const std::string& password);
int32_t GetDocumentPermissions(HDoc doc);
// Empty when the document has no standard security; otherwise kHSecurityRecordSize bytes.
std::vector<unsigned char> GetStandardSecurityData(HDoc doc);
void SetSecurityHandler(HDoc doc, HAtom handlerName);
unsigned char* NewSecurityData(HDoc doc);
void SetSecurityData(HDoc doc, const unsigned char* record);

// AcroView.
HDoc GetActiveDocument();
HView GetActiveView();
HDoc GetViewDocument(HView view);
HView OpenView(HDoc doc);
void CloseView(HView view, bool flag);
int32_t GetAppPreference(int32_t preference);
void PrintPages(HView view, int32_t first, int32_t last, int32_t preference, bool showDialog,
                bool shrinkToFit);
HMenuBar GetMenuBar();
HMenu AcquireMenu(HMenuBar menuBar, const std::string& name);
HMenuItem NewMenuItem(const std::string& title, const std::string& itemName, HMenu submenu,
                      bool longMenusOnly, int32_t shortcut, int32_t shortcutFlags, void* icon,
                      HExtensionID extension);
void SetMenuItemExecuteProc(HMenuItem item, HCallback proc, void* clientData);
void SetMenuItemEnableProc(HMenuItem item, HCallback proc, void* clientData);
void AddMenuItem(HMenu menu, HMenuItem item, int32_t position);
void ReleaseMenu(HMenu menu);
// Alerts never throw: a failing message sink is ignored.
void ShowAlert(int32_t iconKind, const std::string& message, const std::string& button = "OK");
int32_t ConfirmAlert(const std::string& message); // 0 Cancel
void ShowNote(const std::string& message);

// Win.
void* GetMainWindow();
// Registers a window of the plug-in with the host (the extension is the plug-in's own).
HHostWindow CreateHostWindow(int32_t layer, int32_t flags, void* handler, void* window);
void EndHostWindow();
void RegisterModelessWindow(void* window);
void UnregisterModelessWindow(void* window);

// Owners of host handles (hostapi/ScopedHandle.h), one alias per kind: each gives its handle
// back when it goes out of scope and ignores a failure there; Close() gives it back at once and
// lets the host's error through.
//
//     PathHandle path(fileSystem, PathFromPlatformPath(fileSystem, name));
//     DocumentHandle doc(OpenDocument(path.get(), fileSystem, nullptr, nullptr, false));
//     ...
//     doc.Close(); // a failure to close reaches the caller's frame

// A host path with the file system that made it; it stands for the HPath where one is asked for.
struct HostPath {
    HFileSys fileSystem = nullptr;
    HPath path = nullptr;
    operator HPath() const { return path; }
    bool operator==(const HostPath& other) const {
        return fileSystem == other.fileSystem && path == other.path;
    }
};

// An object scope of a document, by its depth (BeginObjectScope).
struct HostObjectScope {
    HDoc doc = nullptr;
    int32_t depth = 0;
    bool operator==(const HostObjectScope& other) const {
        return doc == other.doc && depth == other.depth;
    }
};

void ReleaseHostPath(HostPath path);
void EndHostObjectScope(HostObjectScope scope);
// CloseView(view, true): closes a view the plug-in opened.
void CloseView(HView view);

using PageHandle = ScopedHandle<HPage, &ReleasePage>;
using PathHandle = ScopedHandle<HostPath, &ReleaseHostPath>;
using DocumentHandle = ScopedHandle<HDoc, &CloseDocument>;
using ViewHandle = ScopedHandle<HView, &CloseView>;
using MenuHandle = ScopedHandle<HMenu, &ReleaseMenu>;
using ObjectScopeHandle = ScopedHandle<HostObjectScope, &EndHostObjectScope>;

// Opens an object scope of the document; an empty owner when the host offers none or refuses.
ObjectScopeHandle TryBeginObjectScope(HDoc doc);

} // namespace tesser::hostcalls
