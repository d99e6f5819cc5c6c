// The records behind the host's opaque handles and the helpers every table file uses. Internal
// to host/: programs use Host.h.
#pragma once

#include "host/Host.h"
#include "host/Security.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <sys/types.h>

#include <array>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tesser::host {

// A failure inside the host; the table entry turns it into its code.
class HostException : public std::runtime_error {
public:
    HostException(HErrorCode code, const std::string& text)
        : std::runtime_error(text), code_(code) {}
    HErrorCode code() const { return code_; }

private:
    HErrorCode code_;
};

// Throws with a text of its own (a dynamic code is allocated at the table entry).
[[noreturn]] void Fail(const std::string& text);
[[noreturn]] void FailCode(HErrorCode code);

struct Document;

enum : uint32_t {
    kMagicPage = 0x50414731,
    kMagicStream = 0x53545231,
    kMagicPath = 0x50415431,
    kMagicView = 0x56494531,
};

enum class RecKind : uint8_t { Free, Object, Font };

// One object or font handle handed out. Records live in the host's handle table and are reused
// once freed; a handle carries its record's index and generation, so that a handle whose record
// was freed (its object scope ended, its document closed) is refused instead of misread.
struct ObjectRec {
    uint32_t index = 0;
    uint32_t generation = 1;
    RecKind kind = RecKind::Free;
    Document* doc = nullptr; // null for objects that belong to no document (NewNull, ...)
    QPDFObjectHandle object; // a font's dictionary for a font record
};
using FontRec = ObjectRec;

// Every object and font record of the host. Record 0 is the shared null object.
class HandleTable {
public:
    HandleTable();
    ObjectRec& Add(RecKind kind, Document* doc, QPDFObjectHandle object);
    void Free(uint32_t index);
    ObjectRec& At(uint32_t index) { return records_[index]; }
    // The live record a handle names, or null for a stale, foreign or wrong-kind handle.
    ObjectRec* Find(const void* handle, RecKind kind);
    const void* HandleOf(const ObjectRec& rec) const;
    ObjectRec& Null() { return records_.front(); }
    size_t LiveCount() const { return records_.size() - free_.size(); }

private:
    std::deque<ObjectRec> records_; // a deque: records keep their address while it grows
    std::vector<uint32_t> free_;
};

struct ObjGenHash {
    size_t operator()(const QPDFObjGen& og) const noexcept {
        return std::hash<uint64_t>()((static_cast<uint64_t>(og.getObj()) << 16) ^
                                     static_cast<uint64_t>(og.getGen()));
    }
};

// The object and font handles a document has handed out. An indirect object has at most one
// record at a time (indirect). Records of the indirect objects made through the host and of
// indirect font dictionaries last as long as the document. Other records, found indirect
// objects' included, belong to the innermost object scope open when they were made, or, with
// no scope open, to the document: a long pass that looks at every page keeps no record per page.
struct DocumentHandles {
    std::unordered_map<QPDFObjGen, uint32_t, ObjGenHash> indirect;
    std::unordered_map<QPDFObjGen, uint32_t, ObjGenHash> fonts;
    std::vector<uint32_t> kept;
    std::vector<std::vector<uint32_t>> scopes;

    DocumentHandles() = default;
    DocumentHandles(const DocumentHandles&) = delete;
    DocumentHandles& operator=(const DocumentHandles&) = delete;
    ~DocumentHandles(); // frees every record of the document
    // Ends the scopes from depth (1-based) inwards, freeing their records.
    void EndScopes(size_t depth);
    void Own(uint32_t index) { (scopes.empty() ? kept : scopes.back()).push_back(index); }
};

struct PageRec {
    uint32_t magic = kMagicPage;
    Document* doc = nullptr;
    QPDFObjectHandle page;
    int32_t index = 0; // in the document's pages, which no host operation reorders
};

struct StreamRec {
    uint32_t magic = kMagicStream;
    const char* bytes = nullptr;
    size_t length = 0;
};

struct PathRec {
    uint32_t magic = kMagicPath;
    std::string path;
};

struct ViewRec {
    uint32_t magic = kMagicView;
    Document* doc = nullptr;
};

struct Document {
    std::string path;       // as opened, for messages
    int anchorFd = -1;      // the opened file (inode), read by every QPDF instance of it
    std::unique_ptr<QPDF> qpdf;
    std::vector<std::string> warnings;
    int32_t flags = 0;

    DocumentHandles handles;
    std::set<PageRec*> pages;
    // Pages whose resources were made their own, by object number: a bit a page rather than a
    // set node, as every page of a long document may be stamped.
    std::vector<bool> ownResources;

    FileSecurity security;   // the file's encryption and what the passwords gave
    PendingSecurity pending; // what the next save writes
    std::vector<std::unique_ptr<std::array<unsigned char, kHSecurityRecordSize>>> records;

    // The file as it was opened, or as this document last saved it: a save over it refuses when
    // the file under the name is no longer that one (another program or run replaced or wrote
    // it meanwhile), so that neither change is lost silently.
    struct FileIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const FileIdentity& o) const {
            return device == o.device && inode == o.inode && size == o.size &&
                   modifiedNs == o.modifiedNs;
        }
        bool operator!=(const FileIdentity& o) const { return !(*this == o); }
    };
    FileIdentity opened;

    // Set when walking the page tree failed (a loop, a broken node): such a document is not
    // saved, as QPDF's writers may recurse without end over the same tree.
    std::string brokenPages;

    ~Document();
    QPDF& pdf();
    // The pages in order; a failure to walk the page tree is remembered in brokenPages.
    const std::vector<QPDFObjectHandle>& Pages();
    // The record of an object of this document (see DocumentHandles); WrapNew for an object
    // just made through the host.
    ObjectRec* Wrap(QPDFObjectHandle object);
    ObjectRec* WrapNew(QPDFObjectHandle object);
    FontRec* WrapFont(QPDFObjectHandle font);
    // Sets the unsaved-changes flag and tells the host's observer.
    void Changed();
};

struct Host::State {
    HostCoreTable core{};
    HostSupportTable support{};
    HostCosTable cos{};
    HostModelTable model{};
    HostViewTable view{};
    HostWinTable win{};
    std::map<std::string, uint32_t> grantedVersions;

    std::vector<std::string> atomTexts{""}; // atom 0 is never valid
    std::deque<std::string> atomKeys{""};   // the same as PDF names; a deque keeps references
    std::unordered_map<std::string, HAtom> atoms;

    std::map<HErrorCode, std::string> errorTexts;
    HErrorCode nextError = kHErrFirstDynamic;

    MessageSink* sink = nullptr;
    HostObserver* observer = nullptr;
    std::map<int32_t, int32_t> appPreferences;
    std::set<Document*> documents;
    std::set<ViewRec*> views;
    ViewRec* activeView = nullptr;
    void* mainWindow = nullptr;
    std::vector<void*> modeless;

    std::set<StreamRec*> streams;
    std::set<PathRec*> paths;
    HandleTable handles;

    struct MenuItem {
        std::string title;
        std::string name;
        HCallback execute = nullptr;
        void* executeData = nullptr;
        HCallback enable = nullptr;
        void* enableData = nullptr;
    };
    struct Menu {
        std::string name;
        std::vector<MenuItem*> items;
    };
    std::deque<MenuItem> menuItems;
    std::deque<Menu> menus;
    std::set<std::string> removedMenus;

    std::string printToFile;
    std::string printDestination;

    SnapshotStore snapshots;

    HErrorCode Allocate(const std::string& text);
    HAtom Atom(const std::string& text);
    const std::string& AtomText(HAtom atom) const;
    const std::string& AtomKey(HAtom atom) const; // "/" + the atom's text
};

Host::State& S();

// Whether a table operation may run: kHErrGeneral without a host, kHErrFault when the fault
// switch trips for it, else kHErrNone.
HErrorCode EntryAllowed(const char* operation);
// The code of the exception being handled (its text kept for GetErrorText).
HErrorCode EntryFailure() noexcept;

// Runs one table operation: counts it for the fault switch, turns every exception into a code.
// A template rather than a std::function so that the body costs no allocation per call.
template <typename Body>
HErrorCode Entry(const char* operation, Body&& body) {
    if (HErrorCode refused = EntryAllowed(operation); refused != kHErrNone) {
        return refused;
    }
    try {
        body();
        return kHErrNone;
    } catch (...) {
        return EntryFailure();
    }
}

// Handle checks: each throws kHErrBadParameter for a null or foreign handle.
Document* CheckDoc(HDoc doc);
Document* CheckCosDoc(HCosDoc doc);
ObjectRec* CheckObject(HObject object);
PageRec* CheckPage(HPage page);
FontRec* CheckFont(HFont font);
StreamRec* CheckStream(HStream stream);
PathRec* CheckPath(HPath path);
ViewRec* CheckView(HView view);
void CheckOut(const void* out);

HObject ToHandle(const ObjectRec* rec);
HFont ToFontHandle(const FontRec* rec);
inline HDoc ToHandle(Document* doc) { return reinterpret_cast<HDoc>(doc); }

// Copies a zero-terminated text into a caller's buffer, cut to size - 1 bytes.
void CopyText(const std::string& text, char* buffer, size_t size);

// The page's effective resource dictionary (own or inherited), or null.
QPDFObjectHandle EffectiveResources(QPDFObjectHandle page);
// Makes the page's resources (and the category dictionary, when given) its own direct
// dictionaries so that writing into them changes no other page. Answers the resources.
QPDFObjectHandle OwnResources(Document& doc, QPDFObjectHandle page);

void FillCoreTable(HostCoreTable& t);
void FillSupportTable(HostSupportTable& t);
void FillCosTable(HostCosTable& t);
void FillObjectScopeFunctions(HostModelTable& t);
void FillModelTable(HostModelTable& t);
void FillDocumentFunctions(HostModelTable& t);
void FillViewTable(HostViewTable& t);
void FillWinTable(HostWinTable& t);

void CloseDocumentRec(Document* doc);
// The path with links and dots resolved (the path itself when it cannot be resolved).
std::string CanonicalPath(const std::string& path);
void PrintDocumentPages(Document& doc, int32_t first, int32_t last);

} // namespace tesser::host
