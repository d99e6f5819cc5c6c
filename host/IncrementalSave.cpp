#include "host/IncrementalSave.h"

#include "fileio/UniqueFd.h"

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFCryptoImpl.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesser::host {

struct Revisions::File {
    int fd = -1;            // the document's own file, or owned
    fileio::UniqueFd owned; // a file an incremental save wrote
    qpdf_offset_t size = 0;
    qpdf_offset_t lastSection = 0; // where the last cross-reference section starts
    bool xrefStream = false;
    bool endsWithEol = true;
    long long trailerSize = 0;
    std::vector<int> listedGen;   // by object number: the generation listed, -1 for none
    QPDFObjectHandle id, encrypt; // the trailer entries every revision keeps

    File() = default;
    File(const File& other)
        : size(other.size), lastSection(other.lastSection), xrefStream(other.xrefStream),
          endsWithEol(other.endsWithEol), trailerSize(other.trailerSize),
          listedGen(other.listedGen), id(other.id), encrypt(other.encrypt) {}
    File& operator=(const File&) = delete;

    bool Listed(QPDFObjGen og) const {
        auto n = static_cast<size_t>(og.getObj());
        return n < listedGen.size() && listedGen[n] == og.getGen();
    }
    // Another generation of og's number is the live one: og is a stale reference to an object
    // that was deleted (its number since reused), which QPDF may still read from an old section.
    bool Superseded(QPDFObjGen og) const {
        auto n = static_cast<size_t>(og.getObj());
        return n < listedGen.size() && listedGen[n] != -1 && listedGen[n] != og.getGen();
    }
    void List(QPDFObjGen og) {
        auto n = static_cast<size_t>(og.getObj());
        if (n >= listedGen.size()) {
            listedGen.resize(n + 1, -1);
        }
        listedGen[n] = og.getGen();
    }
};

Revisions::Revisions() = default;
Revisions::~Revisions() = default;

void MarkRewritten(Document& doc) {
    if (!doc.revisions) {
        doc.revisions = std::make_unique<Revisions>();
    }
    doc.revisions->Rewritten();
}

namespace {

constexpr int kIncompatibleFlags = kHSaveFull | kHSaveLinearized | kHSaveCollectGarbage;
// New streams without a filter are compressed from this size on; a stamp's few bytes would only
// grow.
constexpr size_t kCompressFrom = 512;
constexpr size_t kChunk = 1 << 20;

std::string ReadAt(int fd, qpdf_offset_t offset, size_t length) {
    std::string bytes(length, '\0');
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, bytes.data() + done, length - done,
                            static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw QPDFSystemError("read the document's file", errno);
        }
        if (n == 0) {
            Fail("the document's file is shorter than when it was read");
        }
        done += static_cast<size_t>(n);
    }
    return bytes;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

// Where the file's last cross-reference section is and what kind it is, from its last
// "startxref".
void ReadEnd(Revisions::File& file) {
    const size_t tailLength = static_cast<size_t>(std::min<qpdf_offset_t>(file.size, 1024));
    const std::string tail =
        ReadAt(file.fd, file.size - static_cast<qpdf_offset_t>(tailLength), tailLength);
    file.endsWithEol = !tail.empty() && (tail.back() == '\n' || tail.back() == '\r');
    const size_t at = tail.rfind("startxref");
    size_t p = at == std::string::npos ? tail.size() : at + 9;
    while (p < tail.size() && IsSpace(tail[p])) {
        ++p;
    }
    qpdf_offset_t offset = 0;
    size_t digits = 0;
    for (; p < tail.size() && tail[p] >= '0' && tail[p] <= '9' && digits < 18; ++p, ++digits) {
        offset = offset * 10 + (tail[p] - '0');
    }
    if (digits == 0 || offset >= file.size) {
        Fail("the end of the file does not say where its cross-reference section is");
    }
    std::string head = ReadAt(file.fd, offset,
                              static_cast<size_t>(std::min<qpdf_offset_t>(file.size - offset, 64)));
    size_t q = 0;
    while (q < head.size() && IsSpace(head[q])) {
        ++q;
    }
    file.lastSection = offset;
    if (head.compare(q, 4, "xref") == 0) {
        file.xrefStream = false;
    } else if (q < head.size() && head[q] >= '0' && head[q] <= '9' &&
               head.find("obj", q) != std::string::npos) {
        file.xrefStream = true;
    } else {
        Fail("the file's last cross-reference section is not where the end of the file says");
    }
}

// The file's encryption, applied to what is appended.
class Crypt {
public:
    explicit Crypt(QPDF& pdf) {
        int permissions = 0;
        QPDF::encryption_method_e streams = QPDF::e_none, strings = QPDF::e_none,
                                  files = QPDF::e_none;
        if (!pdf.isEncrypted(r_, permissions, v_, streams, strings, files)) {
            return;
        }
        // Before crypt filters (V 4) every string and stream is RC4; QPDF names no method then.
        streams_ = v_ < 4 ? Method::RC4 : MethodOf(streams);
        strings_ = v_ < 4 ? Method::RC4 : MethodOf(strings);
        key_ = pdf.getEncryptionKey();
        QPDFObjectHandle dict = pdf.getTrailer().getKey("/Encrypt");
        QPDFObjectHandle metadata =
            dict.isDictionary() ? dict.getKey("/EncryptMetadata") : QPDFObjectHandle::newNull();
        plainMetadata_ = v_ >= 4 && metadata.isBool() && !metadata.getBoolValue();
        impl_ = QPDFCryptoProvider::getImpl();
    }

    bool Strings() const { return strings_ != Method::None; }
    bool Streams() const { return streams_ != Method::None; }
    bool PlainMetadata() const { return plainMetadata_; }

    std::string String(QPDFObjGen og, const std::string& plain) const {
        return Encrypt(strings_, og, plain);
    }
    std::string Stream(QPDFObjGen og, const std::string& plain) const {
        return Encrypt(streams_, og, plain);
    }

private:
    enum class Method { None, RC4, AES };

    static Method MethodOf(QPDF::encryption_method_e method) {
        switch (method) {
        case QPDF::e_none:
            return Method::None;
        case QPDF::e_rc4:
            return Method::RC4;
        case QPDF::e_aes:
        case QPDF::e_aesv3:
            return Method::AES;
        default:
            break;
        }
        Fail("the file is encrypted by a method the host cannot write");
    }

    std::string Encrypt(Method method, QPDFObjGen og, const std::string& plain) const {
        if (method == Method::None) {
            return plain;
        }
        const bool aes = method == Method::AES;
        const std::string key = QPDF::compute_data_key(key_, og.getObj(), og.getGen(), aes, v_, r_);
        const auto* keyBytes = reinterpret_cast<const unsigned char*>(key.data());
        if (!aes) {
            std::string out(plain.size(), '\0');
            impl_->RC4_init(keyBytes, static_cast<int>(key.size()));
            impl_->RC4_process(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(),
                               reinterpret_cast<unsigned char*>(out.data()));
            impl_->RC4_finalize();
            return out;
        }
        // AES in CBC mode: a random initialisation vector first, the data padded to whole
        // blocks (PKCS#5: always at least one byte of padding).
        constexpr size_t kBlock = QPDFCryptoImpl::rijndael_buf_size;
        unsigned char iv[kBlock];
        QUtil::initializeWithRandomBytes(iv, kBlock);
        const size_t pad = kBlock - plain.size() % kBlock;
        std::string padded = plain;
        padded.append(pad, static_cast<char>(pad));
        std::string out(kBlock + padded.size(), '\0');
        std::memcpy(out.data(), iv, kBlock);
        unsigned char chain[kBlock];
        std::memcpy(chain, iv, kBlock);
        impl_->rijndael_init(true, keyBytes, key.size(), true, chain);
        auto* in = reinterpret_cast<unsigned char*>(padded.data());
        auto* to = reinterpret_cast<unsigned char*>(out.data()) + kBlock;
        for (size_t i = 0; i < padded.size(); i += kBlock) {
            impl_->rijndael_process(in + i, to + i);
        }
        impl_->rijndael_finalize();
        return out;
    }

    int r_ = 0, v_ = 0;
    Method streams_ = Method::None, strings_ = Method::None;
    std::string key_;
    bool plainMetadata_ = false;
    std::shared_ptr<QPDFCryptoImpl> impl_;
};

void AppendHex(std::string& out, const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    out += '<';
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    out += '>';
}

// A name as PDF syntax: characters outside the printable range, delimiters and '#' as #xx.
void AppendName(std::string& out, const std::string& name) {
    static const char kDigits[] = "0123456789abcdef";
    out += '/';
    for (size_t i = name.empty() || name[0] != '/' ? 0 : 1; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (c < 33 || c > 126 || std::strchr("#()<>[]{}/%", c) != nullptr) {
            out += '#';
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

bool NamesCrypt(QPDFObjectHandle filter) {
    if (filter.isName()) {
        return filter.getName() == "/Crypt";
    }
    if (filter.isArray()) {
        for (auto& item : filter.getArrayAsVector()) {
            if (item.isName() && item.getName() == "/Crypt") {
                return true;
            }
        }
    }
    return false;
}

// Writes objects as PDF syntax, encrypting their strings when the file is encrypted.
class Serializer {
public:
    explicit Serializer(const Crypt* crypt) : crypt_(crypt) {}

    // A value inside the object og: indirect values as references, except the object itself
    // at the top.
    void Value(std::string& out, QPDFObjectHandle o, QPDFObjGen og, bool top = false) {
        if (o.isIndirect() && !top) {
            out += std::to_string(o.getObjectID());
            out += ' ';
            out += std::to_string(o.getGeneration());
            out += " R";
            return;
        }
        switch (o.getTypeCode()) {
        case ::ot_dictionary:
            Dictionary(out, o, og, {});
            break;
        case ::ot_array: {
            out += '[';
            bool first = true;
            for (auto& item : o.getArrayAsVector()) {
                if (!first) {
                    out += ' ';
                }
                first = false;
                Value(out, item, og);
            }
            out += ']';
            break;
        }
        case ::ot_name:
            AppendName(out, o.getName());
            break;
        case ::ot_integer:
            out += std::to_string(o.getIntValue());
            break;
        case ::ot_real:
            out += o.getRealValue();
            break;
        case ::ot_boolean:
            out += o.getBoolValue() ? "true" : "false";
            break;
        case ::ot_null:
            out += "null";
            break;
        case ::ot_string:
            if (crypt_ != nullptr && crypt_->Strings() && og.isIndirect() && !plainString_) {
                AppendHex(out, crypt_->String(og, o.getStringValue()));
            } else {
                out += o.unparse();
            }
            break;
        default:
            out += o.unparse();
            break;
        }
    }

    // A dictionary without the keys in skip; null values are left out, as readers take a
    // missing key for null.
    void Dictionary(std::string& out, QPDFObjectHandle dict, QPDFObjGen og,
                    std::initializer_list<const char*> skip) {
        std::map<std::string, QPDFObjectHandle> items = dict.getDictAsMap();
        // A signature's value is not encrypted: it signs bytes of the file, not a text.
        bool signature = false;
        if (crypt_ != nullptr) {
            auto type = items.find("/Type");
            signature =
                type != items.end() && !type->second.isIndirect() && type->second.isName() &&
                (type->second.getName() == "/Sig" || type->second.getName() == "/DocTimeStamp");
        }
        out += "<<";
        for (auto& [key, value] : items) {
            if (!value.isIndirect() && value.isNull()) {
                continue;
            }
            if (std::any_of(skip.begin(), skip.end(),
                            [&key = key](const char* k) { return key == k; })) {
                continue;
            }
            out += ' ';
            AppendName(out, key);
            out += ' ';
            const bool plain = plainString_;
            plainString_ = plain || (signature && key == "/Contents");
            Value(out, value, og);
            plainString_ = plain;
        }
        out += " >>";
    }

private:
    const Crypt* crypt_;
    bool plainString_ = false;
};

// The keys of the trailer that each cross-reference section sets itself, or that belong to a
// cross-reference stream.
const std::initializer_list<const char*> kSectionKeys = {
    "/Size",  "/Prev",    "/XRefStm",      "/Type",   "/W",
    "/Index", "/Filter",  "/DecodeParms",  "/Length", "/DL",
    "/F",     "/FFilter", "/FDecodeParms", "/ID",     "/Encrypt"};

std::string Deflate(const std::string& data) {
    Pl_Buffer buffer("deflated");
    Pl_Flate flate("deflate", &buffer, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    flate.finish();
    std::shared_ptr<Buffer> result = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(result->getBuffer()), result->getSize());
}

// The appended part, written in chunks, with the offsets of what it holds.
class Appender {
public:
    Appender(Pipeline& out, qpdf_offset_t start) : out_(out), start_(start) {}
    qpdf_offset_t Offset() const {
        return start_ + written_ + static_cast<qpdf_offset_t>(buf_.size());
    }
    std::string& Buffer() { return buf_; }
    void Maybe() {
        if (buf_.size() >= kChunk) {
            Flush();
        }
    }
    void Flush() {
        out_.write(reinterpret_cast<const unsigned char*>(buf_.data()), buf_.size());
        written_ += static_cast<qpdf_offset_t>(buf_.size());
        buf_.clear();
    }

private:
    Pipeline& out_;
    qpdf_offset_t start_;
    qpdf_offset_t written_ = 0;
    std::string buf_;
};

void AppendObjectHeader(std::string& out, QPDFObjGen og) {
    out += std::to_string(og.getObj());
    out += ' ';
    out += std::to_string(og.getGen());
    out += " obj\n";
}

// Bytes of a cross-reference stream field, most significant first.
void AppendField(std::string& out, unsigned long long value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

} // namespace

IncrementalSave::IncrementalSave(Document& doc, int flags)
    : doc_(doc), revisions_([&]() -> Revisions& {
          if (!doc.revisions) {
              doc.revisions = std::make_unique<Revisions>();
          }
          return *doc.revisions;
      }()) {
    if (flags & kIncompatibleFlags) {
        Fail("an incremental save cannot be optimised (linearised), full or garbage-collecting: "
             "those rewrite the whole file");
    }
    if (doc.pending.active) {
        Fail("the document's security is to change, which needs a full save");
    }
    if (revisions_.rewritten_) {
        Fail("the document was saved in full since it was opened, so there is no file its "
             "changes could be appended to");
    }
    QPDF& pdf = doc.pdf();
    if (revisions_.damage_.empty() && !doc.warnings.empty()) {
        revisions_.damage_ = doc.warnings.front();
    }
    if (revisions_.damage_.empty() && pdf.anyWarnings()) {
        revisions_.damage_ = pdf.getWarnings().front().what(); // taken, so kept here
    }
    if (!revisions_.damage_.empty()) {
        Fail("the file needed repairs when it was read (" + revisions_.damage_ +
             "); appending to it would keep the damage, so save it in full instead");
    }
    QPDFObjectHandle perms = pdf.getRoot().getKey("/Perms");
    if (perms.isDictionary() && perms.hasKey("/DocMDP")) {
        Fail("the document is certified, and its certification allows no change to page "
             "content");
    }
    if (!revisions_.file_) {
        auto file = std::make_unique<Revisions::File>();
        file->fd = doc.anchor.get();
        struct stat st {};
        if (::fstat(file->fd, &st) != 0) {
            throw QPDFSystemError("stat " + doc.path, errno);
        }
        file->size = st.st_size;
        ReadEnd(*file);
        QPDFObjectHandle trailer = pdf.getTrailer();
        QPDFObjectHandle size = trailer.getKey("/Size");
        file->trailerSize = size.isInteger() ? size.getIntValue() : 0;
        for (const auto& [og, entry] : pdf.getXRefTable()) {
            file->List(og);
        }
        file->id = trailer.getKey("/ID");
        file->encrypt = trailer.getKey("/Encrypt");
        revisions_.file_ = std::move(file);
    }
}

IncrementalSave::~IncrementalSave() = default;

void IncrementalSave::Write(Pipeline& out) {
    const Revisions::File& file = *revisions_.file_;
    QPDF& pdf = doc_.pdf();
    next_ = std::make_unique<Revisions::File>(file);

    // What to append: the listed objects that changed, and every new object that is not null.
    // One entry per object number: a stale generation of a listed number is not new.
    std::vector<QPDFObjGen> objects;
    int maxId = 0;
    for (QPDFObjGen og : revisions_.changed_) {
        if (file.Listed(og)) {
            objects.push_back(og);
        }
    }
    for (QPDFObjectHandle& o : pdf.getAllObjects()) {
        QPDFObjGen og = o.getObjGen();
        maxId = std::max(maxId, og.getObj());
        if (!file.Listed(og) && !file.Superseded(og) && !o.isNull()) {
            objects.push_back(og);
        }
    }
    std::sort(objects.begin(), objects.end());
    objects.erase(std::unique(objects.begin(), objects.end()), objects.end());
    for (size_t i = 1; i < objects.size(); ++i) {
        if (objects[i].getObj() == objects[i - 1].getObj()) {
            Fail("object " + std::to_string(objects[i].getObj()) +
                 " would be appended in two generations; a reader would not know which one "
                 "holds");
        }
    }

    // The file's bytes.
    std::vector<char> buffer(kChunk);
    for (qpdf_offset_t at = 0; at < file.size;) {
        const size_t want = static_cast<size_t>(std::min<qpdf_offset_t>(file.size - at, kChunk));
        ssize_t n = ::pread(file.fd, buffer.data(), want, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw QPDFSystemError("read " + doc_.path, errno);
        }
        if (n == 0) {
            Fail("the document's file is shorter than when it was read");
        }
        out.write(reinterpret_cast<const unsigned char*>(buffer.data()), static_cast<size_t>(n));
        at += n;
    }
    if (objects.empty()) {
        return; // nothing changed: the file as it is
    }

    const Crypt crypt(pdf);
    QPDFObjectHandle trailer = pdf.getTrailer();
    if ((crypt.Strings() || crypt.Streams()) && trailer.getKey("/Info").isDictionary() &&
        !trailer.getKey("/Info").isIndirect()) {
        Fail("the encrypted file keeps its document information in its trailer, where an "
             "appended section could not encrypt it");
    }
    Serializer serializer(&crypt);
    Appender a(out, file.size);
    if (!file.endsWithEol) {
        a.Buffer() += '\n';
    }
    std::vector<std::pair<QPDFObjGen, qpdf_offset_t>> entries;
    entries.reserve(objects.size() + 1);
    for (QPDFObjGen og : objects) {
        QPDFObjectHandle o = pdf.getObjectByObjGen(og);
        entries.emplace_back(og, a.Offset());
        std::string& s = a.Buffer();
        AppendObjectHeader(s, og);
        if (!o.isStream()) {
            serializer.Value(s, o, og, true);
            s += "\nendobj\n";
            a.Maybe();
            continue;
        }
        QPDFObjectHandle dict = o.getDict();
        if (NamesCrypt(dict.getKey("/Filter"))) {
            Fail("object " + std::to_string(og.getObj()) +
                 " is a stream encrypted by a crypt filter of its own, which the host cannot "
                 "write");
        }
        std::shared_ptr<::Buffer> raw = o.getRawStreamData();
        std::string data(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
        raw.reset();
        QPDFObjectHandle written = dict;
        if (!file.Listed(og) && dict.getKey("/Filter").isNull() && data.size() >= kCompressFrom) {
            data = Deflate(data);
            written = dict.unsafeShallowCopy();
            written.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
            written.removeKey("/DecodeParms");
        }
        const bool plainData =
            !crypt.Streams() || (crypt.PlainMetadata() && dict.getKey("/Type").isName() &&
                                 dict.getKey("/Type").getName() == "/Metadata");
        if (!plainData) {
            data = crypt.Stream(og, data);
        }
        serializer.Dictionary(s, written, og, {"/Length"});
        s.resize(s.size() - 3); // " >>"
        s += " /Length " + std::to_string(data.size()) + " >>\nstream\n";
        s += data;
        s += "\nendstream\nendobj\n";
        a.Maybe();
    }

    // The new cross-reference section.
    Serializer plain(nullptr);
    std::string kept;
    for (auto& [key, value] : trailer.getDictAsMap()) {
        if (std::any_of(kSectionKeys.begin(), kSectionKeys.end(),
                        [&key = key](const char* k) { return key == k; }) ||
            (!value.isIndirect() && value.isNull())) {
            continue;
        }
        kept += ' ';
        AppendName(kept, key);
        kept += ' ';
        plain.Value(kept, value, QPDFObjGen());
    }
    for (auto [key, value] : {std::pair<const char*, QPDFObjectHandle>{"/ID", file.id},
                              std::pair<const char*, QPDFObjectHandle>{"/Encrypt", file.encrypt}}) {
        if (value.isIndirect() || !value.isNull()) {
            kept += ' ';
            kept += key;
            kept += ' ';
            plain.Value(kept, value, QPDFObjGen());
        }
    }
    long long size = std::max<long long>(file.trailerSize, maxId + 1);
    for (const auto& entry : entries) {
        size = std::max<long long>(size, entry.first.getObj() + 1LL);
    }
    const std::string prev = std::to_string(file.lastSection);
    std::string& s = a.Buffer();
    qpdf_offset_t section = a.Offset();
    if (!file.xrefStream) {
        s += "xref\n";
        for (size_t i = 0; i < entries.size();) {
            size_t j = i + 1;
            while (j < entries.size() &&
                   entries[j].first.getObj() == entries[j - 1].first.getObj() + 1) {
                ++j;
            }
            s += std::to_string(entries[i].first.getObj()) + " " + std::to_string(j - i) + "\n";
            for (; i < j; ++i) {
                char line[32];
                std::snprintf(line, sizeof line, "%010lld %05d n \n",
                              static_cast<long long>(entries[i].second), entries[i].first.getGen());
                s += line;
            }
        }
        s += "trailer\n<< /Size " + std::to_string(size) + " /Prev " + prev + kept + " >>\n";
    } else {
        const QPDFObjGen self(static_cast<int>(size), 0);
        size += 1;
        entries.emplace_back(self, section);
        int width = 1;
        while (width < 8 && (static_cast<unsigned long long>(section) >> (8 * width)) != 0) {
            ++width;
        }
        std::string rows;
        std::string index;
        for (size_t i = 0; i < entries.size();) {
            size_t j = i + 1;
            while (j < entries.size() &&
                   entries[j].first.getObj() == entries[j - 1].first.getObj() + 1) {
                ++j;
            }
            index += (index.empty() ? "" : " ") + std::to_string(entries[i].first.getObj()) + " " +
                     std::to_string(j - i);
            for (; i < j; ++i) {
                rows += '\1';
                AppendField(rows, static_cast<unsigned long long>(entries[i].second), width);
                AppendField(rows, static_cast<unsigned long long>(entries[i].first.getGen()), 2);
            }
        }
        const std::string data = Deflate(rows);
        AppendObjectHeader(s, self);
        s += "<< /Type /XRef /Size " + std::to_string(size) + " /Index [" + index + "] /W [1 " +
             std::to_string(width) + " 2] /Prev " + prev + kept + " /Filter /FlateDecode /Length " +
             std::to_string(data.size()) + " >>\nstream\n";
        s += data;
        s += "\nendstream\nendobj\n";
        entries.pop_back();
    }
    s += "startxref\n" + std::to_string(section) + "\n%%EOF\n";
    const qpdf_offset_t end = a.Offset();
    a.Flush();

    next_->size = end;
    next_->lastSection = section;
    next_->endsWithEol = true;
    next_->trailerSize = size;
    for (const auto& entry : entries) {
        next_->List(entry.first);
    }
}

void IncrementalSave::Keep(const std::string& written) {
    next_->owned = fileio::UniqueFd(::open(written.c_str(), O_RDONLY | O_CLOEXEC));
    if (!next_->owned) {
        throw QPDFSystemError("open " + written, errno);
    }
    next_->fd = next_->owned.get();
}

void IncrementalSave::Done() {
    revisions_.file_ = std::move(next_);
    revisions_.changed_.clear();
}

} // namespace tesser::host
