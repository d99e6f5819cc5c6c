#include "host/Security.h"

#include "host/HostState.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace tesser::host {

namespace {

constexpr size_t kPasswordField = 256;
const char kMarkerPrefix[] = "\x1bTesserKeptSecurity:";

void PutU16(RecordBytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void PutU32(RecordBytes& b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) {
        b[at + i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
    }
}
uint16_t GetU16(const unsigned char* b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t GetU32(const unsigned char* b, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) {
        v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    }
    return v;
}
void PutText(RecordBytes& b, size_t at, const std::string& text) {
    size_t n = std::min(text.size(), kPasswordField - 1);
    std::memcpy(b.data() + at, text.data(), n);
    b[at + n] = 0;
}
std::string GetText(const unsigned char* b, size_t at) {
    const char* start = reinterpret_cast<const char*>(b + at);
    return std::string(start, strnlen(start, kPasswordField - 1));
}

std::string Convert(const char* to, const char* from, const std::string& text) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        Fail(std::string("The text conversion from ") + from + " to " + to + " is not available.");
    }
    std::string out;
    std::vector<char> in(text.begin(), text.end());
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // A byte or sequence with no counterpart: replace it and go on.
            out.push_back('?');
            ++inPtr;
            --inLeft;
            if (std::strcmp(from, "UTF-8") == 0) {
                while (inLeft > 0 && (static_cast<unsigned char>(*inPtr) & 0xC0) == 0x80) {
                    ++inPtr;
                    --inLeft;
                }
            }
        }
    }
    ::iconv_close(cd);
    return out;
}

} // namespace

RecordBytes EncodeSecurityRecord(const SecurityRecord& record) {
    RecordBytes b{};
    PutU32(b, 0, kHSecurityRecordSize);
    PutU16(b, 4, record.newOpen ? 1 : 0);
    PutU16(b, 6, record.hasOpen ? 1 : 0);
    PutText(b, 8, record.open);
    PutU16(b, 264, record.newOwner ? 1 : 0);
    PutU16(b, 266, record.hasOwner ? 1 : 0);
    PutText(b, 268, record.owner);
    PutU32(b, 524, record.permissions);
    return b;
}

SecurityRecord DecodeSecurityRecord(const unsigned char* b) {
    if (GetU32(b, 0) != kHSecurityRecordSize) {
        throw HostException(kHErrBadParameter,
                            "The security record does not have the size 528 in its first field.");
    }
    SecurityRecord r;
    r.newOpen = GetU16(b, 4) != 0;
    r.hasOpen = GetU16(b, 6) != 0;
    r.open = GetText(b, 8);
    r.newOwner = GetU16(b, 264) != 0;
    r.hasOwner = GetU16(b, 266) != 0;
    r.owner = GetText(b, 268);
    r.permissions = GetU32(b, 524);
    return r;
}

std::string KeptMarker(int number) {
    return kMarkerPrefix + std::to_string(number);
}

int ParseKeptMarker(const std::string& text) {
    size_t prefix = sizeof kMarkerPrefix - 1;
    if (text.size() <= prefix || text.compare(0, prefix, kMarkerPrefix) != 0) {
        return 0;
    }
    int number = 0;
    for (size_t i = prefix; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || number > 100000000) {
            return 0;
        }
        number = number * 10 + (text[i] - '0');
    }
    return number;
}

int SnapshotStore::Keep(QPDF& pdf, const std::string& password) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    std::string encrypt = trailer.getKey("/Encrypt").unparseResolved();
    std::string id = trailer.getKey("/ID").unparseResolved();
    // A file of its own that carries nothing but the encryption: QPDF opens it with the
    // password and hands its parameters to a writer.
    std::string out = "%PDF-1.7\n%\xe2\xe3\xcf\xd3\n";
    std::vector<size_t> offsets;
    auto object = [&](const std::string& body) {
        offsets.push_back(out.size());
        out += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [] /Count 0 >>");
    object(encrypt);
    size_t xref = out.size();
    out += "xref\n0 4\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    }
    out += "trailer\n<< /Size 4 /Root 1 0 R /Encrypt 3 0 R /ID " + id + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    int number = next_++;
    snapshots_[number] = Snapshot{out, password};
    return number;
}

std::pair<std::unique_ptr<QPDF>, std::string> SnapshotStore::Open(int number) const {
    auto it = snapshots_.find(number);
    if (it == snapshots_.end()) {
        Fail("the original security settings to put back (kept as number " +
             std::to_string(number) +
             ") are not known to this host: they were kept by a host that has ended");
    }
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processMemoryFile("kept security settings", it->second.pdf.data(), it->second.pdf.size(),
                           it->second.password.c_str());
    return {std::move(pdf), it->second.password};
}

void SnapshotStore::Remember(const std::string& file, const RecordBytes& record, int number) {
    records_[{file, record}] = number;
}

int SnapshotStore::Find(const std::string& file, const RecordBytes& record) const {
    auto it = records_.find({file, record});
    return it == records_.end() ? 0 : it->second;
}

namespace {

const char kExportHeader[] = "TesserKeptSecurity 1\n";

} // namespace

std::string SnapshotStore::Export(int number) const {
    auto it = snapshots_.find(number);
    if (it == snapshots_.end()) {
        Fail("the security settings kept as number " + std::to_string(number) +
             " are not known to this host");
    }
    // The header, the password's length and the password, then the PDF.
    return kExportHeader + std::to_string(it->second.password.size()) + "\n" + it->second.password +
           it->second.pdf;
}

int SnapshotStore::Import(const std::string& bytes) {
    const size_t header = sizeof kExportHeader - 1;
    const size_t newline = bytes.find('\n', header);
    if (bytes.compare(0, header, kExportHeader) != 0 || newline == std::string::npos ||
        newline == header || newline - header > 4) {
        Fail("the kept security settings are damaged (they do not begin as this host writes "
             "them)");
    }
    size_t length = 0;
    for (size_t i = header; i < newline; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') {
            Fail("the kept security settings are damaged (a bad password length)");
        }
        length = length * 10 + static_cast<size_t>(bytes[i] - '0');
    }
    if (bytes.size() - newline - 1 < length) {
        Fail("the kept security settings are damaged (they end too early)");
    }
    Snapshot snapshot{bytes.substr(newline + 1 + length), bytes.substr(newline + 1, length)};
    try {
        QPDF check;
        check.setSuppressWarnings(true);
        check.processMemoryFile("kept security settings", snapshot.pdf.data(), snapshot.pdf.size(),
                                snapshot.password.c_str());
        if (!check.isEncrypted()) {
            Fail("they carry no encryption");
        }
    } catch (const std::exception& e) {
        Fail(std::string("the kept security settings cannot be read back: ") + e.what());
    }
    const int number = next_++;
    snapshots_[number] = std::move(snapshot);
    return number;
}

std::string ExportKeptSecurity(const std::string& marker) {
    const int number = ParseKeptMarker(marker);
    if (number == 0) {
        Fail("the text is not a marker of kept security settings");
    }
    return S().snapshots.Export(number);
}

std::string ImportKeptSecurity(const std::string& bytes) {
    return KeptMarker(S().snapshots.Import(bytes));
}

std::string LostKeptMarker() {
    // Numbers are handed out from 1 upwards, one per kept file: this one is never reached.
    return KeptMarker(999999999);
}

std::string Cp1252ToUtf8(const std::string& text) {
    return Convert("UTF-8", "WINDOWS-1252", text);
}

std::string Utf8ToCp1252(const std::string& text) {
    return Convert("WINDOWS-1252", "UTF-8", text);
}

std::string PasswordForRevision(const std::string& cp1252, int revision) {
    std::string utf8 = Cp1252ToUtf8(cp1252);
    if (revision >= 5) {
        // Readers use only the first 127 bytes of a revision 5/6 password; QPDF 11.3 writes with
        // all of them, which gives a file that no reader opens.
        if (utf8.size() > 127) {
            utf8.resize(127);
        }
        return utf8;
    }
    return QUtil::utf8_to_pdf_doc(utf8, '?');
}

std::string PasswordFromPdfDoc(const std::string& pdfDoc) {
    return Utf8ToCp1252(QUtil::pdf_doc_to_utf8(pdfDoc));
}

int32_t PermissionsOf(QPDF& pdf) {
    if (!pdf.isEncrypted()) {
        return kHPermAll;
    }
    int32_t bits = kHPermOpen;
    if (pdf.allowPrintLowRes()) {
        bits |= kHPermPrint;
    }
    if (pdf.allowModifyOther()) {
        bits |= kHPermEdit;
    }
    if (pdf.allowExtractAll()) {
        bits |= kHPermCopy;
    }
    if (pdf.allowModifyAnnotation()) {
        bits |= kHPermEditNotes;
    }
    return bits;
}

void SetWriterEncryption(QPDFWriter& writer, const SecurityRecord& record) {
    std::string user =
        (record.newOpen || record.hasOpen) ? PasswordForRevision(record.open, 6) : "";
    std::string owner =
        (record.newOwner || record.hasOwner) ? PasswordForRevision(record.owner, 6) : "";
    bool print = record.permissions & kHPermPrint;
    bool edit = record.permissions & kHPermEdit;
    bool copy = record.permissions & kHPermCopy;
    bool notes = record.permissions & kHPermEditNotes;
    writer.setR6EncryptionParameters(user.c_str(), owner.c_str(),
                                     /*allow_accessibility=*/true,
                                     /*allow_extract=*/copy,
                                     /*allow_assemble=*/edit,
                                     /*allow_annotate_and_form=*/notes,
                                     /*allow_form_filling=*/notes,
                                     /*allow_modify_other=*/edit,
                                     print ? qpdf_r3p_full : qpdf_r3p_none,
                                     /*encrypt_metadata_aes=*/true);
}

int RevisionOf(QPDF& pdf) {
    int revision = 0, permissions = 0;
    return pdf.isEncrypted(revision, permissions) ? revision : 0;
}

EncryptionMarkDrop::EncryptionMarkDrop(QPDF& pdf, int openedRevision, int writtenRevision)
    : pdf_(pdf) {
    if ((openedRevision != 5 && openedRevision != 6) || writtenRevision >= 5) {
        return;
    }
    QPDFObjectHandle root = pdf.getRoot();
    QPDFObjectHandle extensions = root.getKey("/Extensions");
    if (!extensions.isDictionary()) {
        return;
    }
    QPDFObjectHandle adbe = extensions.getKey("/ADBE");
    const int level = openedRevision == 5 ? 3 : 8;
    if (!adbe.isDictionary() || adbe.getKeys().size() != 2 ||
        !adbe.getKey("/BaseVersion").isNameAndEquals("/1.7") ||
        !adbe.getKey("/ExtensionLevel").isInteger() ||
        adbe.getKey("/ExtensionLevel").getIntValue() != level) {
        return;
    }
    // The catalogue gets a new value; the old one (perhaps an indirect object) is not touched.
    original_ = std::make_unique<QPDFObjectHandle>(extensions);
    QPDFObjectHandle rest = extensions.shallowCopy();
    rest.removeKey("/ADBE");
    if (rest.getKeys().empty()) {
        root.removeKey("/Extensions");
    } else {
        root.replaceKey("/Extensions", rest);
    }
    dropped_ = true;
}

EncryptionMarkDrop::~EncryptionMarkDrop() {
    if (dropped_) {
        try {
            pdf_.getRoot().replaceKey("/Extensions", *original_);
        } catch (...) {
            // A destructor may not throw; the catalogue then lacks only the encryption's mark.
        }
    }
}

} // namespace tesser::host
