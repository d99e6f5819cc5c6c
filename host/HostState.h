// The records behind the host's opaque handles and the helpers every table file uses. Internal
// to host/: programs use Host.h.
#pragma once

#include "host/Host.h"
#include "host/Security.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

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
    kMagicObject = 0x4f424a31,
    kMagicPage = 0x50414731,
    kMagicFont = 0x464e5431,
    kMagicStream = 0x53545231,
    kMagicPath = 0x50415431,
    kMagicView = 0x56494531,
};

struct ObjectRec {
    uint32_t magic = kMagicObject;
    Document* doc = nullptr; // null for objects that belong to no document (NewNull)
    QPDFObjectHandle object;
};

struct PageRec {
    uint32_t magic = kMagicPage;
    Document* doc = nullptr;
    QPDFObjectHandle page;
};

struct FontRec {
    uint32_t magic = kMagicFont;
    Document* doc = nullptr;
    QPDFObjectHandle font;
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

    // Objects handed out: stable addresses, freed with the document.
    std::deque<ObjectRec> objects;
    std::map<QPDFObjGen, ObjectRec*> indirect;
    std::deque<FontRec> fonts;
    std::set<PageRec*> pages;
    std::set<QPDFObjGen> ownResources; // pages whose resources were made their own

    FileSecurity security;   // the file's encryption and what the passwords gave
    PendingSecurity pending; // what the next save writes
    std::vector<std::unique_ptr<std::array<unsigned char, kHSecurityRecordSize>>> records;

    ~Document();
    QPDF& pdf();
    ObjectRec* Wrap(QPDFObjectHandle object);
    void Changed() { flags |= kHDocNeedsSave; }
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
    std::unordered_map<std::string, HAtom> atoms;

    std::map<HErrorCode, std::string> errorTexts;
    HErrorCode nextError = kHErrFirstDynamic;

    MessageSink* sink = nullptr;
    std::set<Document*> documents;
    std::set<ViewRec*> views;
    ViewRec* activeView = nullptr;
    void* mainWindow = nullptr;
    std::vector<void*> modeless;

    std::set<StreamRec*> streams;
    std::set<PathRec*> paths;
    std::deque<ObjectRec> looseObjects;

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
};

Host::State& S();

// Runs one table operation: counts it for the fault switch, turns every exception into a code.
HErrorCode Entry(const char* operation, const std::function<void()>& body);

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

inline HObject ToHandle(ObjectRec* rec) { return reinterpret_cast<HObject>(rec); }
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
void FillModelTable(HostModelTable& t);
void FillDocumentFunctions(HostModelTable& t);
void FillViewTable(HostViewTable& t);
void FillWinTable(HostWinTable& t);

void CloseDocumentRec(Document* doc);
// The path with links and dots resolved (the path itself when it cannot be resolved).
std::string CanonicalPath(const std::string& path);
void PrintDocumentPages(Document& doc, int32_t first, int32_t last);

} // namespace tesser::host
