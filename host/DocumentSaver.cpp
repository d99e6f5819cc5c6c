#include "host/DocumentSaver.h"

#include "fileio/AtomicFileWriter.h"
#include "host/FaultPoint.h"
#include "host/FileInput.h"
#include "host/HostState.h"
#include "host/IncrementalSave.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace tesser::host {

namespace {

[[noreturn]] void SystemFail(const std::string& what, int error) {
    throw QPDFSystemError(what, error);
}

// The output QPDFWriter writes through: every write is checked, so a full disk or a size
// limit becomes an error instead of a short file.
class CheckedFileOutput : public Pipeline {
public:
    explicit CheckedFileOutput(fileio::AtomicFileWriter& file)
        : Pipeline("checked file output", nullptr), file_(file) {
        buffer_.reserve(kBufferSize);
    }

    void write(unsigned char const* data, size_t len) override {
        if (failure_) {
            return; // the failure is already on its way to the caller
        }
        while (len > 0) {
            size_t n = std::min(len, kBufferSize - buffer_.size());
            buffer_.insert(buffer_.end(), data, data + n);
            data += n;
            len -= n;
            if (buffer_.size() == kBufferSize && !TryFlush()) {
                return;
            }
        }
    }

    // QPDFWriter calls finish() from destructors too, where nothing may throw: the data is
    // flushed by Flush() after the writer is done.
    void finish() override {}

    // Writes what is buffered; throws the first write error seen.
    void Flush() {
        if (!failure_) {
            TryFlush();
        }
        if (failure_) {
            std::rethrow_exception(failure_);
        }
    }

private:
    // Answers false after a failure; throws it unless an exception is already unwinding.
    bool TryFlush() {
        try {
            if (!buffer_.empty() && FaultAt("SaveDocument.write")) {
                throw fileio::FileError(fileio::FileError::Stage::Writing, "write",
                                        file_.TemporaryFile(), EIO);
            }
            file_.Write(buffer_.data(), buffer_.size());
            buffer_.clear();
            return true;
        } catch (...) {
            failure_ = std::current_exception();
            buffer_.clear();
            if (std::uncaught_exceptions() == 0) {
                throw;
            }
            return false;
        }
    }

    static constexpr size_t kBufferSize = 1 << 18;
    fileio::AtomicFileWriter& file_;
    std::vector<unsigned char> buffer_;
    std::exception_ptr failure_;
};

Document::FileIdentity IdentityOf(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return {};
    }
    return {st.st_dev, st.st_ino, st.st_size,
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// Writes through write(), checks the result with verify(), and renames it over the target;
// beforeRename (when given) may still refuse with the target's resolved file name.
void AtomicWrite(const std::string& path, const std::function<void(Pipeline&)>& write,
                 const std::function<void(const std::string&)>& verify,
                 const std::function<void(const std::string&)>& beforeRename = {}) {
    fileio::AtomicFileWriter file(path);
    CheckedFileOutput output(file);
    write(output);
    output.Flush();
    if (FaultAt("SaveDocument.fsync")) {
        SystemFail("fsync " + file.TemporaryFile(), EIO);
    }
    file.Finish();
    if (FaultAt("SaveDocument.verify")) {
        Fail("the written file did not read back: injected fault");
    }
    verify(file.TemporaryFile());
    if (beforeRename) {
        beforeRename(file.TargetFile());
    }
    if (FaultAt("SaveDocument.rename")) {
        SystemFail("rename " + file.TemporaryFile(), EIO);
    }
    file.Commit();
}

// The first or last leaf of the page tree, found by following the first or last kid down (not by
// walking every page, which would hold all of them). A null object for an odd tree.
QPDFObjectHandle EdgePage(QPDF& pdf, bool last) {
    QPDFObjectHandle node = pdf.getRoot().getKey("/Pages");
    for (int depth = 0; depth < 64 && node.isDictionary(); ++depth) {
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (!kids.isArray()) {
            return node;
        }
        const int n = kids.getArrayNItems();
        if (n == 0) {
            return QPDFObjectHandle::newNull();
        }
        node = kids.getArrayItem(last ? n - 1 : 0);
    }
    return QPDFObjectHandle::newNull();
}

// What a reader draws of the page: its content streams decoded and joined. Empty when the page
// has none, or when one of them cannot be decoded (nothing to compare with then).
std::string DecodedContents(QPDFObjectHandle page) {
    if (!page.isDictionary()) {
        return {};
    }
    QPDFObjectHandle contents = page.getKey("/Contents");
    std::vector<QPDFObjectHandle> streams =
        contents.isArray() ? contents.getArrayAsVector() : std::vector<QPDFObjectHandle>{contents};
    std::string text;
    for (QPDFObjectHandle& stream : streams) {
        if (!stream.isStream()) {
            continue;
        }
        const auto data = stream.getStreamData(qpdf_dl_generalized);
        text.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    }
    return text;
}

// The first and last pages' contents as the document holds them, to be found again in the
// written file: a stream written with a key that readers of the file do not derive (QPDF keeps
// a damaged encryption dictionary's key for writing) reads back as noise or not at all, which
// neither the page count nor the sampled objects show.
struct EdgeContents {
    std::string first, last;
    static EdgeContents Of(QPDF& pdf) {
        EdgeContents edges;
        try {
            edges.first = DecodedContents(EdgePage(pdf, false));
            edges.last = DecodedContents(EdgePage(pdf, true));
        } catch (const std::exception&) {
            edges = {}; // what the document cannot decode itself is not compared
        }
        return edges;
    }
};

void VerifyWritten(const std::string& file, const std::string& password, size_t pages,
                   const EdgeContents& expected) {
    const fileio::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        SystemFail("open " + file, errno);
    }
    QPDF check;
    check.setSuppressWarnings(true);
    check.setAttemptRecovery(false);
    // Read through the host's own input: QPDF's file input seeks its FILE for every line of the
    // cross-reference table.
    check.processInputSource(std::make_shared<FileInput>(file, fd.get()), password.c_str());
    // The page tree's own count: walking every page would double the memory a long document
    // needs.
    QPDFObjectHandle count = check.getRoot().getKey("/Pages").getKey("/Count");
    size_t found = count.isInteger() && count.getIntValue() >= 0
                       ? static_cast<size_t>(count.getIntValue())
                       : check.getAllPages().size();
    if (found != pages) {
        Fail("the written file has " + std::to_string(found) + " pages instead of " +
             std::to_string(pages));
    }
    // A few objects spread over the file are read back too (a wrong offset or a damaged object
    // stream shows here), not all of them: that would hold a second copy of the document.
    QPDFObjectHandle size = check.getTrailer().getKey("/Size");
    if (size.isInteger() && size.getIntValue() > 1 && size.getIntValue() <= INT32_MAX) {
        const auto last = static_cast<int>(size.getIntValue() - 1);
        constexpr int kSamples = 16;
        for (int i = 1; i <= kSamples; ++i) {
            const int id = static_cast<int>(static_cast<long long>(last) * i / kSamples);
            if (id > 0) {
                (void)check.getObjectByID(id, 0).getTypeCode();
            }
        }
    }
    if (!expected.first.empty() || !expected.last.empty()) {
        EdgeContents written;
        try {
            written.first = DecodedContents(EdgePage(check, false));
            written.last = DecodedContents(EdgePage(check, true));
        } catch (const std::exception& e) {
            Fail(std::string("the pages of the written file cannot be read: ") + e.what());
        }
        if ((!expected.first.empty() && written.first != expected.first) ||
            (!expected.last.empty() && written.last != expected.last)) {
            Fail("the pages of the written file do not read back as they were written (its "
                 "encryption may be damaged)");
        }
    }
    if (check.anyWarnings()) {
        Fail("the written file does not read back cleanly: " +
             std::string(check.getWarnings().front().what()));
    }
}

} // namespace

// Signature values cover byte ranges of the file: a full rewrite breaks them.
bool HasSignedSignatures(QPDF& pdf) {
    QPDFObjectHandle form = pdf.getRoot().getKey("/AcroForm");
    if (!form.isDictionary()) {
        return false;
    }
    std::set<QPDFObjGen> seen;
    std::function<bool(QPDFObjectHandle, const std::string&)> walk =
        [&](QPDFObjectHandle fields, const std::string& inheritedType) -> bool {
        if (!fields.isArray()) {
            return false;
        }
        for (auto& field : fields.getArrayAsVector()) {
            if (!field.isDictionary()) {
                continue;
            }
            if (field.isIndirect() && !seen.insert(field.getObjGen()).second) {
                continue;
            }
            QPDFObjectHandle ft = field.getKey("/FT");
            std::string type = ft.isName() ? ft.getName() : inheritedType;
            if (type == "/Sig" && !field.getKey("/V").isNull()) {
                return true;
            }
            if (walk(field.getKey("/Kids"), type)) {
                return true;
            }
        }
        return false;
    };
    return walk(form.getKey("/Fields"), "");
}

namespace {

// A save over the document's own file refuses when another program replaced or wrote it.
void CheckNotReplaced(const Document& doc, bool ownFile, const std::string& file) {
    if (ownFile && IdentityOf(file) != doc.opened) {
        Fail("the file was changed by another program while the document was open; "
             "it was not saved, so that change is kept");
    }
}

void SaveIncrementally(Document& doc, int flags, const std::string& path) {
    const bool ownFile = CanonicalPath(path) == CanonicalPath(doc.path);
    try {
        IncrementalSave save(doc, flags & ~kHSaveCheckOnly);
        if (flags & kHSaveCheckOnly) {
            fileio::CheckReplaceable(path);
            CheckNotReplaced(doc, ownFile, path);
            return;
        }
        const size_t pages = doc.Pages().size();
        const EdgeContents edges = EdgeContents::Of(doc.pdf());
        AtomicWrite(
            path, [&](Pipeline& output) { save.Write(output); },
            [&](const std::string& file) {
                VerifyWritten(file, doc.security.unlockPassword, pages, edges);
                save.Keep(file);
            },
            [&](const std::string& file) { CheckNotReplaced(doc, ownFile, file); });
        save.Done();
        if (ownFile) {
            doc.opened = IdentityOf(path);
        }
    } catch (const std::exception& e) {
        Fail(path + ": cannot save: " + e.what());
    }
    doc.flags &= ~kHDocNeedsSave;
}

} // namespace

void SaveDocumentAtomically(Document& doc, int flags, const std::string& path) {
    if (flags & kHSaveIncremental) {
        SaveIncrementally(doc, flags, path);
        return;
    }
    QPDF& pdf = doc.pdf();
    if (HasSignedSignatures(pdf)) {
        Fail(path + ": cannot save: the document has signed signature fields and saving would "
                    "break its signatures (an incremental save keeps them)");
    }
    const bool ownFile = CanonicalPath(path) == CanonicalPath(doc.path);
    if (flags & kHSaveCheckOnly) {
        try {
            fileio::CheckReplaceable(path);
            CheckNotReplaced(doc, ownFile, path);
        } catch (const std::exception& e) {
            Fail(path + ": cannot save: " + e.what());
        }
        return;
    }
    size_t pages = doc.Pages().size();
    const EdgeContents edges = EdgeContents::Of(pdf);
    const PendingSecurity& pending = doc.pending;
    std::string verifyPassword = doc.security.unlockPassword;
    try {
        std::unique_ptr<QPDF> kept;
        SecurityRecord record;
        enum class Encryption { Preserve, None, New, Kept } mode = Encryption::Preserve;
        if (pending.active && pending.handlerSet) {
            if (pending.handlerNone) {
                mode = Encryption::None;
                verifyPassword.clear();
            } else if (pending.hasRecord) {
                record = DecodeSecurityRecord(pending.record.data());
                int marker = ParseKeptMarker(record.open);
                if (marker == 0) {
                    marker = ParseKeptMarker(record.owner);
                }
                if (marker == 0) {
                    marker = S().snapshots.Find(CanonicalPath(path), pending.record);
                }
                if (marker != 0) {
                    mode = Encryption::Kept;
                    auto snapshot = S().snapshots.Open(marker);
                    kept = std::move(snapshot.first);
                    verifyPassword = snapshot.second;
                } else {
                    mode = Encryption::New;
                    bool hasOpen = record.newOpen || record.hasOpen;
                    verifyPassword = hasOpen ? Cp1252ToUtf8(record.open) : "";
                }
            }
        }
        const int openedRevision = doc.security.encrypted ? doc.security.revision : 0;
        const int writtenRevision = mode == Encryption::Preserve ? openedRevision
                                    : mode == Encryption::None   ? 0
                                    : mode == Encryption::Kept   ? RevisionOf(*kept)
                                                                 : 6;
        AtomicWrite(
            path,
            [&](Pipeline& output) {
                EncryptionMarkDrop mark(pdf, openedRevision, writtenRevision);
                QPDFWriter writer(pdf);
                writer.setOutputPipeline(&output);
                if (S().saveProgress) {
                    writer.registerProgressReporter(
                        std::make_shared<QPDFWriter::FunctionProgressReporter>(S().saveProgress));
                }
                if (flags & kHSaveLinearized) {
                    writer.setLinearization(true);
                }
                switch (mode) {
                case Encryption::Preserve:
                    break;
                case Encryption::None:
                    writer.setPreserveEncryption(false);
                    break;
                case Encryption::New:
                    SetWriterEncryption(writer, record);
                    break;
                case Encryption::Kept:
                    writer.copyEncryptionParameters(*kept);
                    break;
                }
                writer.write();
            },
            [&](const std::string& file) { VerifyWritten(file, verifyPassword, pages, edges); },
            [&](const std::string& file) { CheckNotReplaced(doc, ownFile, file); });
        MarkRewritten(doc);
        if (ownFile) {
            doc.opened = IdentityOf(path);
        }
    } catch (const HostException& e) {
        Fail(path + ": cannot save: " + e.what());
    } catch (const std::exception& e) {
        Fail(path + ": cannot save: " + e.what());
    }
    doc.flags &= ~(kHDocNeedsSave | kHDocNewSecurity);
}

void WritePdfAtomically(QPDF& pdf, const std::string& path) {
    size_t pages = pdf.getAllPages().size();
    const EdgeContents edges = EdgeContents::Of(pdf);
    try {
        AtomicWrite(
            path,
            [&](Pipeline& output) {
                QPDFWriter writer(pdf);
                writer.setOutputPipeline(&output);
                writer.setPreserveEncryption(false);
                writer.write();
            },
            [&](const std::string& file) { VerifyWritten(file, "", pages, edges); });
    } catch (const std::exception& e) {
        Fail(path + ": cannot write: " + e.what());
    }
}

} // namespace tesser::host
