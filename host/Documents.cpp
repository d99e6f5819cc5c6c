// The "PDModel" table, documents part: open, authorise, close, flags, info, security.
#include "host/DocumentSaver.h"
#include "host/FileInput.h"
#include "host/Heap.h"
#include "host/HostState.h"
#include "host/IncrementalSave.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFSystemError.hh>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesser::host {

Document::~Document() {
    qpdf.reset(); // before the file it reads is closed
}

QPDF& Document::pdf() {
    if (!qpdf) {
        Fail(path + ": the document is not open yet (it needs a password).");
    }
    return *qpdf;
}

const std::vector<QPDFObjectHandle>& Document::Pages() {
    // Every page the host hands out is asked for here: the heap's growth is seen as it happens.
    CoverHeapGrowth();
    try {
        return pdf().getAllPages();
    } catch (const std::exception& e) {
        if (qpdf && brokenPages.empty()) {
            brokenPages = e.what();
        }
        throw;
    }
}

std::string CanonicalPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string result = resolved;
    std::free(resolved);
    return result;
}

namespace {

// QPDF 11.3 can spend minutes repairing some broken files, warning all the while. Past this
// many warnings a file is refused as too damaged instead.
constexpr int kMaxWarnings = 2000;

class WarningLimit : public Pipeline {
public:
    explicit WarningLimit(std::string path)
        : Pipeline("warning limit", nullptr), path_(std::move(path)) {}
    void write(unsigned char const* data, size_t len) override {
        for (size_t i = 0; i < len; ++i) {
            if (data[i] == '\n' && ++count_ > kMaxWarnings) {
                throw QPDFExc(qpdf_e_damaged_pdf, path_, "", 0,
                              "the file is too damaged to repair (more than " +
                                  std::to_string(kMaxWarnings) + " problems)");
            }
        }
    }
    void finish() override {}

private:
    std::string path_;
    int count_ = 0;
};

struct OpenResult {
    std::unique_ptr<QPDF> pdf;
    bool passwordRefused = false;
    std::string message;
};

OpenResult TryOpen(const Document& doc, const std::string& password) {
    OpenResult result;
    auto pdf = std::make_unique<QPDF>();
    auto logger = QPDFLogger::create();
    logger->setWarn(std::make_shared<WarningLimit>(doc.path));
    pdf->setLogger(logger);
    try {
        pdf->processInputSource(std::make_shared<FileInput>(doc.path, doc.anchor.get()),
                                password.c_str());
        CoverHeapGrowth();
        result.pdf = std::move(pdf);
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() != qpdf_e_password) {
            for (const auto& w : pdf->getWarnings()) {
                if (std::string(w.what()).find("can't find PDF header") != std::string::npos) {
                    Fail(doc.path + ": not a PDF file (" + e.what() + ")");
                }
            }
            throw;
        }
        result.passwordRefused = true;
        result.message = e.what();
    }
    return result;
}

void TakeWarnings(Document& doc, QPDF& pdf) {
    for (const auto& w : pdf.getWarnings()) {
        doc.warnings.push_back(w.what());
    }
}

void Adopt(Document& doc, std::unique_ptr<QPDF> pdf, const std::string& password) {
    TakeWarnings(doc, *pdf);
    doc.security.unlockPassword = password;
    doc.qpdf = std::move(pdf);
}

// Records what an accepted password gives and answers the permission bits.
int32_t Unlocked(Document& doc, QPDF& pdf, const std::string& cp1252) {
    FileSecurity& sec = doc.security;
    int32_t granted = pdf.ownerPasswordMatched()  ? kHPermAll
                      : pdf.userPasswordMatched() ? sec.filePermissions
                                                  : 0;
    if (pdf.ownerPasswordMatched()) {
        sec.ownerKnown = true;
        sec.ownerPassword = cp1252;
        if (!pdf.userPasswordMatched() && sec.revision <= 4 && !sec.userKnown) {
            sec.userKnown = true;
            sec.userPassword = PasswordFromPdfDoc(pdf.getTrimmedUserPassword());
        }
    }
    if (pdf.userPasswordMatched()) {
        sec.userKnown = true;
        sec.userPassword = cp1252;
    }
    sec.granted |= granted;
    return granted;
}

std::string OpenFailure(const Document& doc, const std::string& qpdfMessage) {
    return qpdfMessage.empty() ? doc.path + ": invalid password" : qpdfMessage;
}

HErrorCode OpenDocument(HPath path, HFileSys, HAuthProc authProc, void* clientData, HBool,
                        HDoc* out) {
    return Entry("OpenDocument", [&] {
        CheckOut(out);
        PathRec* p = CheckPath(path);
        auto doc = std::make_unique<Document>();
        doc->path = p->path;
        doc->anchor = fileio::UniqueFd(::open(p->path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!doc->anchor) {
            throw QPDFSystemError("open " + p->path, errno);
        }
        struct stat st {};
        if (::fstat(doc->anchor.get(), &st) != 0) {
            throw QPDFSystemError("stat " + p->path, errno);
        }
        if (!S_ISREG(st.st_mode)) {
            Fail(p->path + ": not a PDF file (it is not a regular file)");
        }
        doc->opened = {st.st_dev, st.st_ino, st.st_size,
                       static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
        std::string refusal;
        OpenResult first = TryOpen(*doc, "");
        if (first.pdf) {
            int r = 0, perms = 0;
            if (first.pdf->isEncrypted(r, perms)) {
                doc->security.encrypted = true;
                doc->security.revision = r;
                doc->security.granted = 0;
                doc->security.emptyUserPassword = first.pdf->userPasswordMatched();
                doc->security.filePermissions = PermissionsOf(*first.pdf);
                Unlocked(*doc, *first.pdf, "");
            }
            Adopt(*doc, std::move(first.pdf), "");
        } else {
            refusal = first.message;
            doc->security.encrypted = true;
            doc->security.granted = 0;
            doc->security.filePermissions = 0;
        }

        Document* d = S().documents.Add(std::move(doc));
        bool accepted = true;
        if (authProc != nullptr) {
            try {
                accepted = authProc(ToHandle(d), clientData) != 0;
            } catch (...) {
                accepted = false;
            }
        }
        if (!d->qpdf) {
            std::string message = OpenFailure(*d, refusal);
            CloseDocumentRec(d);
            Fail(message);
        }
        if (!accepted) {
            std::string name = d->path;
            CloseDocumentRec(d);
            // It opened; what was refused is the change the caller asked for.
            Fail(name + ": the document was left as it is: what was asked needs permissions "
                        "that the password given (if any) does not grant; its owner password "
                        "grants them");
        }
        *out = ToHandle(d);
    });
}

HErrorCode Authorise(HDoc handle, int32_t, const char* password, int32_t* granted) {
    return Entry("Authorise", [&] {
        CheckOut(granted);
        Document* doc = CheckDoc(handle);
        std::string cp1252 = password != nullptr ? password : "";
        FileSecurity& sec = doc->security;
        if (!sec.encrypted) {
            *granted = kHPermAll;
            return;
        }
        if (sec.ownerKnown && cp1252 == sec.ownerPassword) {
            *granted = kHPermAll;
            return;
        }
        if (cp1252.empty() && doc->qpdf) {
            // No authorisation data asks what the document's opening granted (all of it when an
            // owner password opened it), not what the empty password alone would give.
            *granted = sec.granted;
            return;
        }
        // Before the file is open its revision is unknown: try both encodings.
        std::vector<std::string> candidates;
        if (sec.revision != 0) {
            candidates.push_back(PasswordForRevision(cp1252, sec.revision));
        } else {
            candidates.push_back(PasswordForRevision(cp1252, 6));
            std::string pdfDoc = PasswordForRevision(cp1252, 4);
            if (pdfDoc != candidates.front()) {
                candidates.push_back(pdfDoc);
            }
        }
        OpenResult attempt;
        std::string given;
        for (const auto& candidate : candidates) {
            attempt = TryOpen(*doc, candidate);
            if (attempt.pdf) {
                given = candidate;
                break;
            }
        }
        if (!attempt.pdf) {
            *granted = 0;
            return;
        }
        if (!doc->qpdf) {
            // The first password that opens the file tells its revision and permissions.
            int r = 0, perms = 0;
            attempt.pdf->isEncrypted(r, perms);
            sec.revision = r;
            sec.filePermissions = PermissionsOf(*attempt.pdf);
        }
        *granted = Unlocked(*doc, *attempt.pdf, cp1252);
        if (!doc->qpdf) {
            Adopt(*doc, std::move(attempt.pdf), given);
        }
    });
}

HErrorCode GetDocumentPermissions(HDoc handle, int32_t* granted) {
    return Entry("GetDocumentPermissions", [&] {
        CheckOut(granted);
        *granted = CheckDoc(handle)->security.granted;
    });
}

HErrorCode CloseDocument(HDoc handle) {
    return Entry("CloseDocument", [&] { CloseDocumentRec(CheckDoc(handle)); });
}

HErrorCode SaveDocument(HDoc handle, int32_t flags, HPath path, HFileSys) {
    return Entry("SaveDocument", [&] {
        Document* doc = CheckDoc(handle);
        PathRec* p = CheckPath(path);
        if (!doc->brokenPages.empty()) {
            Fail(doc->path +
                 ": the document is damaged and was not saved: its pages cannot be "
                 "walked (" +
                 doc->brokenPages + ")");
        }
        SaveDocumentAtomically(*doc, flags, p->path);
    });
}

HErrorCode GetCosDocument(HDoc handle, HCosDoc* cosDoc) {
    return Entry("GetCosDocument", [&] {
        CheckOut(cosDoc);
        *cosDoc = reinterpret_cast<HCosDoc>(CheckDoc(handle));
    });
}

HErrorCode GetDocumentFlags(HDoc handle, int32_t* flags) {
    return Entry("GetDocumentFlags", [&] {
        CheckOut(flags);
        *flags = CheckDoc(handle)->flags;
    });
}

HErrorCode SetDocumentFlags(HDoc handle, int32_t flags) {
    return Entry("SetDocumentFlags", [&] {
        Document* doc = CheckDoc(handle);
        doc->flags |= flags;
        if (flags & kHDocNewSecurity) {
            doc->pending.active = true;
            doc->Changed();
        }
    });
}

HErrorCode ClearDocumentFlags(HDoc handle, int32_t flags) {
    return Entry("ClearDocumentFlags", [&] { CheckDoc(handle)->flags &= ~flags; });
}

std::string InfoKey(const char* entry) {
    if (entry == nullptr || *entry == '\0') {
        throw HostException(kHErrBadParameter, "The information entry has no name.");
    }
    return entry[0] == '/' ? std::string(entry) : "/" + std::string(entry);
}

HErrorCode GetDocInfo(HDoc handle, const char* entry, char* buffer, size_t bufferSize,
                      size_t* length) {
    return Entry("GetDocInfo", [&] {
        CheckOut(length);
        Document* doc = CheckDoc(handle);
        std::string key = InfoKey(entry);
        QPDFObjectHandle info = doc->pdf().getTrailer().getKey("/Info");
        QPDFObjectHandle value =
            info.isDictionary() ? info.getKey(key) : QPDFObjectHandle::newNull();
        if (!value.isString()) {
            *length = 0;
            return;
        }
        std::string bytes = value.getStringValue();
        size_t n = buffer != nullptr ? std::min(bufferSize, bytes.size()) : 0;
        if (n > 0) {
            std::memcpy(buffer, bytes.data(), n);
        }
        *length = n;
    });
}

HErrorCode SetDocInfo(HDoc handle, const char* entry, const char* bytes, size_t length) {
    return Entry("SetDocInfo", [&] {
        Document* doc = CheckDoc(handle);
        std::string key = InfoKey(entry);
        if (bytes == nullptr && length != 0) {
            FailCode(kHErrBadParameter);
        }
        QPDF& pdf = doc->pdf();
        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle info = trailer.getKey("/Info");
        if (!info.isDictionary()) {
            info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
            trailer.replaceKey("/Info", info);
        }
        info.replaceKey(key, QPDFObjectHandle::newString(std::string(bytes ? bytes : "", length)));
        doc->Changed(info.isIndirect() ? info.getObjGen() : QPDFObjGen()); // else: the trailer's
    });
}

// ---- Security ----

HErrorCode GetSecurityData(HDoc handle, void** data) {
    return Entry("GetSecurityData", [&] {
        CheckOut(data);
        Document* doc = CheckDoc(handle);
        if (doc->pending.handlerSet) {
            *data = doc->pending.handlerNone ? nullptr
                    : doc->pending.hasRecord ? static_cast<void*>(doc->pending.record.data())
                                             : static_cast<void*>(&doc->security);
            return;
        }
        *data = doc->security.encrypted ? static_cast<void*>(&doc->security) : nullptr;
    });
}

bool SecuredByStandard(const Document& doc) {
    if (doc.pending.handlerSet) {
        return !doc.pending.handlerNone;
    }
    return doc.security.encrypted;
}

HErrorCode GetSecurityHandlerName(HDoc handle, HAtom* name) {
    return Entry("GetSecurityHandlerName", [&] {
        CheckOut(name);
        *name = S().Atom(SecuredByStandard(*CheckDoc(handle)) ? "Standard" : "None");
    });
}

HErrorCode GetStandardSecurityData(HDoc handle, unsigned char* out, HBool* present) {
    return Entry("GetStandardSecurityData", [&] {
        CheckOut(present);
        Document* doc = CheckDoc(handle);
        if (doc->pending.handlerSet && doc->pending.hasRecord && !doc->pending.handlerNone) {
            CheckOut(out);
            std::memcpy(out, doc->pending.record.data(), kHSecurityRecordSize);
            *present = 1;
            return;
        }
        const FileSecurity& sec = doc->security;
        if (!sec.encrypted || (doc->pending.handlerSet && doc->pending.handlerNone)) {
            *present = 0;
            return;
        }
        CheckOut(out);
        SecurityRecord record;
        record.permissions = static_cast<uint32_t>(sec.filePermissions & kHPermUserBits);
        int kept = S().snapshots.Keep(doc->pdf(), sec.unlockPassword);
        if (!sec.emptyUserPassword) {
            record.hasOpen = true;
            record.open = sec.userKnown ? sec.userPassword : KeptMarker(kept);
        }
        bool ownerEmpty = sec.ownerKnown && sec.ownerPassword.empty();
        if (!ownerEmpty) {
            record.hasOwner = true;
            record.owner = sec.ownerKnown ? sec.ownerPassword : KeptMarker(kept);
        }
        RecordBytes bytes = EncodeSecurityRecord(record);
        S().snapshots.Remember(CanonicalPath(doc->path), bytes, kept);
        std::memcpy(out, bytes.data(), bytes.size());
        *present = 1;
    });
}

HErrorCode SetSecurityHandler(HDoc handle, HAtom handlerName) {
    return Entry("SetSecurityHandler", [&] {
        Document* doc = CheckDoc(handle);
        const std::string& name = S().AtomText(handlerName);
        if (name != "Standard" && name != "None") {
            throw HostException(kHErrNotFound,
                                "The host has no security handler named \"" + name + "\".");
        }
        doc->pending.handlerSet = true;
        doc->pending.handlerNone = name == "None";
        if (doc->pending.handlerNone) {
            doc->pending.hasRecord = false;
        }
        doc->Changed();
    });
}

HErrorCode NewSecurityData(HDoc handle, unsigned char** record) {
    return Entry("NewSecurityData", [&] {
        CheckOut(record);
        Document* doc = CheckDoc(handle);
        doc->records.push_back(std::make_unique<RecordBytes>());
        doc->records.back()->fill(0);
        *record = doc->records.back()->data();
    });
}

HErrorCode SetSecurityData(HDoc handle, const unsigned char* record) {
    return Entry("SetSecurityData", [&] {
        CheckOut(record);
        Document* doc = CheckDoc(handle);
        DecodeSecurityRecord(record); // refuses a record of another size
        std::memcpy(doc->pending.record.data(), record, kHSecurityRecordSize);
        doc->pending.hasRecord = true;
        if (!doc->pending.handlerSet) {
            doc->pending.handlerSet = true;
            doc->pending.handlerNone = false;
        }
        doc->Changed();
    });
}

} // namespace

void CloseDocumentRec(Document* doc) {
    Host::State& s = S();
    s.views.EraseIf([&](const ViewRec& view) {
        if (view.doc != doc) {
            return false;
        }
        if (s.activeView == &view) {
            s.activeView = nullptr;
        }
        return true;
    });
    doc->pages.Clear();
    s.documents.Erase(doc);
}

void FillDocumentFunctions(HostModelTable& t) {
    t.OpenDocument = OpenDocument;
    t.SaveDocument = SaveDocument;
    t.CloseDocument = CloseDocument;
    t.GetCosDocument = GetCosDocument;
    t.GetDocumentFlags = GetDocumentFlags;
    t.SetDocumentFlags = SetDocumentFlags;
    t.ClearDocumentFlags = ClearDocumentFlags;
    t.GetDocInfo = GetDocInfo;
    t.SetDocInfo = SetDocInfo;
    t.GetSecurityData = GetSecurityData;
    t.GetSecurityHandlerName = GetSecurityHandlerName;
    t.Authorise = Authorise;
    t.GetDocumentPermissions = GetDocumentPermissions;
    t.GetStandardSecurityData = GetStandardSecurityData;
    t.SetSecurityHandler = SetSecurityHandler;
    t.NewSecurityData = NewSecurityData;
    t.SetSecurityData = SetSecurityData;
}

} // namespace tesser::host
