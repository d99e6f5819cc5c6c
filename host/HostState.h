// The records behind the host's opaque handles and the helpers every table file uses. Internal
// to host/: programs use Host.h.
#pragma once

#include "fileio/UniqueFd.h"
#include "host/Atoms.h"
#include "host/HandleTable.h"
#include "host/Host.h"
#include "host/HostError.h"
#include "host/Menus.h"
#include "host/RecordSet.h"
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

struct Document;
class Revisions;

enum : uint32_t {
    kMagicPage = 0x50414731,
    kMagicStream = 0x53545231,
    kMagicPath = 0x50415431,
    kMagicView = 0x56494531,
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
    std::string path;        // as opened, for messages
    fileio::UniqueFd anchor; // the opened file (inode), read by every QPDF instance of it
    std::unique_ptr<QPDF> qpdf;
    std::vector<std::string> warnings;
    int32_t flags = 0;

    DocumentHandles handles;
    RecordSet<PageRec> pages;
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

    // The objects changed since the file was read or last appended to, for incremental saves
    // (host/IncrementalSave.h); made by the first change.
    std::unique_ptr<Revisions> revisions;

    // Set when walking the page tree failed (a loop, a broken node): such a document is not
    // saved, as QPDF's writers may recurse without end over the same tree.
    std::string brokenPages;

    ~Document();
    QPDF& pdf();
    // The pages in order; a failure to walk the page tree is remembered in brokenPages.
    const std::vector<QPDFObjectHandle>& Pages();
    // The record of an object of this document (see DocumentHandles); WrapNew for an object
    // just made through the host. holder: the indirect object a direct one lives in
    // (ObjectRec::holder).
    ObjectRec* Wrap(QPDFObjectHandle object, QPDFObjGen holder = {});
    ObjectRec* WrapNew(QPDFObjectHandle object);
    FontRec* WrapFont(QPDFObjectHandle font, QPDFObjGen holder = {});
    // Sets the unsaved-changes flag and tells the host's observer.
    void Changed();
    // The same, naming the indirect object that changed or was made (the one a changed direct
    // object lives in). Every change to an object of the document comes through here, so that
    // an incremental save knows what to append.
    void Changed(QPDFObjGen changed);
};

struct Host::State {
    HostCoreTable core{};
    HostSupportTable support{};
    HostCosTable cos{};
    HostModelTable model{};
    HostViewTable view{};
    HostWinTable win{};
    std::map<std::string, uint32_t> grantedVersions;

    AtomTable atoms;
    ErrorTexts errors;

    MessageSink* sink = nullptr;
    HostObserver* observer = nullptr;
    std::map<int32_t, int32_t> appPreferences;
    RecordSet<Document> documents;
    RecordSet<ViewRec> views;
    ViewRec* activeView = nullptr;
    void* mainWindow = nullptr;
    std::vector<void*> modeless;

    RecordSet<StreamRec> streams;
    RecordSet<PathRec> paths;
    HandleTable handles;

    MenuBar menus;

    std::string printToFile;
    std::string printDestination;
    std::function<void(int)> saveProgress; // Host::SetSaveProgress

    SnapshotStore snapshots;

    HAtom Atom(const std::string& text) { return atoms.Atom(text); }
    const std::string& AtomText(HAtom atom) const { return atoms.Text(atom); }
    const std::string& AtomKey(HAtom atom) const { return atoms.Key(atom); }
};

Host::State& S();

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
inline HDoc ToHandle(Document* doc) {
    return reinterpret_cast<HDoc>(doc);
}

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
