#include "cli/Journal.h"

#include "host/Security.h"
#include "model/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesser::cli {

namespace fs = std::filesystem;
using docsettings::ObjectCopy;

namespace {

constexpr const char* kMagic = "tesser-undo-journal";
// Version 2 added the information dictionary's previous entries and kept security settings;
// version 3 each entry's skipped pages and the fingerprints of the file before the run and as
// the run left it; version 4 each record's number and time; version 5 whether the run appended
// its changes to the files. Older journals are still read.
constexpr int kVersion = 5;

// Tokens are separated by white space. Bytes outside "!".."~", "%" and "-" are written as %XX;
// the empty text is written as a lone "-".
class Writer {
public:
    void Text(const std::string& bytes) {
        Separate();
        if (bytes.empty()) {
            out_ << '-';
            return;
        }
        static const char* hex = "0123456789ABCDEF";
        for (unsigned char c : bytes) {
            if (c > ' ' && c < 0x7F && c != '%' && c != '-') {
                out_ << static_cast<char>(c);
            } else {
                out_ << '%' << hex[c >> 4] << hex[c & 15];
            }
        }
    }
    void Int(std::int64_t value) { Text(std::to_string(value)); }
    void Bool(bool value) { Text(value ? "1" : "0"); }
    void Double(double value) {
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        Text(std::string(buffer, result.ptr));
    }
    void Line() {
        out_ << '\n';
        fresh_ = true;
    }
    std::string str() const { return out_.str(); }

private:
    void Separate() {
        if (!fresh_) {
            out_ << ' ';
        }
        fresh_ = false;
    }
    std::ostringstream out_;
    bool fresh_ = true;
};

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool AtEnd() {
        SkipSpace();
        return pos_ >= text_.size();
    }
    std::string Text() {
        SkipSpace();
        if (pos_ >= text_.size()) {
            throw JournalError("the journal ends too early");
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_])) {
            ++pos_;
        }
        const std::string token = text_.substr(start, pos_ - start);
        if (token == "-") {
            return {};
        }
        std::string bytes;
        for (std::size_t i = 0; i < token.size(); ++i) {
            if (token[i] != '%') {
                bytes += token[i];
                continue;
            }
            if (i + 2 >= token.size()) {
                throw JournalError("a bad escape in the journal");
            }
            const int high = Hex(token[i + 1]);
            const int low = Hex(token[i + 2]);
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
        }
        return bytes;
    }
    std::int64_t Int() {
        const std::string token = Text();
        std::int64_t value = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
            throw JournalError("a bad number in the journal: " + token);
        }
        return value;
    }
    std::int32_t Int32() { return static_cast<std::int32_t>(Int()); }
    std::uint64_t UInt64() {
        const std::string token = Text();
        std::uint64_t value = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
            throw JournalError("a bad number in the journal: " + token);
        }
        return value;
    }
    bool Bool() { return Int() != 0; }
    double Double() {
        const std::string token = Text();
        double value = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
            throw JournalError("a bad number in the journal: " + token);
        }
        return value;
    }
    void Expect(const std::string& word) {
        const std::string token = Text();
        if (token != word) {
            throw JournalError("the journal is damaged: \"" + word + "\" expected, \"" + token +
                               "\" found");
        }
    }
    // A count read before its items; containers grow as the items are read, so a damaged count
    // makes the text end too early instead of allocating for items that are not there.
    std::size_t Count() {
        const std::int64_t n = Int();
        if (n < 0 || n > 100000000) {
            throw JournalError("a bad count in the journal");
        }
        return static_cast<std::size_t>(n);
    }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
    static int Hex(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw JournalError("a bad escape in the journal");
    }
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
    }
    const std::string& text_;
    std::size_t pos_ = 0;
};

// ObjectCopy trees.
void WriteCopy(Writer& w, const ObjectCopy& c) {
    using K = ObjectCopy::Kind;
    w.Int(static_cast<int>(c.kind()));
    switch (c.kind()) {
    case K::Boolean:
        w.Bool(c.boolean());
        break;
    case K::Integer:
    case K::Page:
        w.Int(c.integer());
        break;
    case K::Real:
        w.Int(c.fixed());
        break;
    case K::Name:
    case K::String:
        w.Text(c.text());
        break;
    case K::Array:
        w.Int(static_cast<std::int64_t>(c.items().size()));
        for (const ObjectCopy& item : c.items()) {
            WriteCopy(w, item);
        }
        break;
    case K::Dictionary:
        w.Int(static_cast<std::int64_t>(c.entries().size()));
        for (const auto& [key, value] : c.entries()) {
            w.Text(key);
            WriteCopy(w, value);
        }
        break;
    default:
        break;
    }
}

ObjectCopy ReadCopy(Reader& r, int depth = 0) {
    if (depth > 64) {
        throw JournalError("the journal nests objects too deeply");
    }
    using K = ObjectCopy::Kind;
    const auto kind = static_cast<K>(r.Int());
    switch (kind) {
    case K::Absent:
        return ObjectCopy::Absent();
    case K::Null:
        return ObjectCopy::Null();
    case K::Unsupported:
        return ObjectCopy::Unsupported();
    case K::Boolean:
        return ObjectCopy::Boolean(r.Bool());
    case K::Integer:
        return ObjectCopy::Integer(r.Int32());
    case K::Page:
        return ObjectCopy::Page(r.Int32());
    case K::Real:
        return ObjectCopy::Real(static_cast<HFixed>(r.Int()));
    case K::Name:
        return ObjectCopy::Name(r.Text());
    case K::String:
        return ObjectCopy::String(r.Text());
    case K::Array: {
        std::vector<ObjectCopy> items;
        for (std::size_t n = r.Count(); n > 0; --n) {
            items.push_back(ReadCopy(r, depth + 1));
        }
        return ObjectCopy::Array(std::move(items));
    }
    case K::Dictionary: {
        std::vector<std::pair<std::string, ObjectCopy>> entries;
        for (std::size_t n = r.Count(); n > 0; --n) {
            std::string key = r.Text();
            entries.emplace_back(std::move(key), ReadCopy(r, depth + 1));
        }
        return ObjectCopy::Dictionary(std::move(entries));
    }
    }
    throw JournalError("an unknown object kind in the journal");
}

void WriteTesserion(Writer& w, const model::Tesserion& t) {
    w.Text("tesserion");
    w.Text(t.Name);
    w.Text(t.Text);
    w.Int(static_cast<int>(t.Units));
    w.Int(static_cast<int>(t.JustifyH));
    w.Int(static_cast<int>(t.JustifyV));
    w.Int(static_cast<int>(t.Layer));
    w.Double(t.PosX);
    w.Double(t.PosY);
    w.Double(t.PosAngle);
    w.Text(t.FontFace);
    w.Double(t.FontSize);
    w.Double(t.FontLeading);
    w.Text(t.ColorName);
    w.Text(t.ColorText);
    w.Int(static_cast<int>(t.ColorSpace));
    for (double v : t.ColorValues) {
        w.Double(v);
    }
    w.Bool(t.Pages.PagesAll);
    w.Int(static_cast<int>(t.Pages.PagesOddEven));
    w.Text(t.Pages.PagesRange);
    w.Line();
}

model::Tesserion ReadTesserion(Reader& r) {
    r.Expect("tesserion");
    model::Tesserion t;
    t.Name = r.Text();
    t.Text = r.Text();
    t.Units = static_cast<model::Units>(r.Int32());
    t.JustifyH = static_cast<model::JustifyH>(r.Int32());
    t.JustifyV = static_cast<model::JustifyV>(r.Int32());
    t.Layer = static_cast<model::Layer>(r.Int32());
    t.PosX = r.Double();
    t.PosY = r.Double();
    t.PosAngle = r.Double();
    t.FontFace = r.Text();
    t.FontSize = r.Double();
    t.FontLeading = r.Double();
    t.ColorName = r.Text();
    t.ColorText = r.Text();
    t.ColorSpace = static_cast<model::ColorSpace>(r.Int32());
    for (double& v : t.ColorValues) {
        v = r.Double();
    }
    t.Pages.PagesAll = r.Bool();
    t.Pages.PagesOddEven = static_cast<model::PagesOddEven>(r.Int32());
    t.Pages.PagesRange = r.Text();
    return t;
}

void WriteInfo(Writer& w, const docsettings::InfoSettings& s) {
    w.Text("info");
    for (bool flag : {s.SetTitle, s.SetSubject, s.SetAuthor, s.SetKeywords, s.SetIndex,
                      s.SetBaseURL}) {
        w.Bool(flag);
    }
    for (const std::string* text :
         {&s.Title, &s.Subject, &s.Author, &s.Keywords, &s.IndexFile, &s.BaseURL}) {
        w.Text(*text);
    }
    w.Bool(s.PreviousIndex.has_value());
    if (s.PreviousIndex) {
        w.Bool(s.PreviousIndex->hadSearch);
        w.Bool(s.PreviousIndex->hadIndexes);
        WriteCopy(w, s.PreviousIndex->firstEntry);
    }
    w.Bool(s.PreviousBaseURL.has_value());
    if (s.PreviousBaseURL) {
        w.Bool(s.PreviousBaseURL->hadURI);
        WriteCopy(w, s.PreviousBaseURL->base);
    }
    w.Bool(s.PreviousInfo.has_value());
    if (s.PreviousInfo) {
        w.Bool(s.PreviousInfo->hadInfo);
        for (const ObjectCopy& entry : s.PreviousInfo->entries) {
            WriteCopy(w, entry);
        }
    }
    w.Line();
}

docsettings::InfoSettings ReadInfo(Reader& r, int version) {
    r.Expect("info");
    docsettings::InfoSettings s;
    for (bool* flag : {&s.SetTitle, &s.SetSubject, &s.SetAuthor, &s.SetKeywords, &s.SetIndex,
                       &s.SetBaseURL}) {
        *flag = r.Bool();
    }
    for (std::string* text :
         {&s.Title, &s.Subject, &s.Author, &s.Keywords, &s.IndexFile, &s.BaseURL}) {
        *text = r.Text();
    }
    if (r.Bool()) {
        docsettings::IndexSnapshot snapshot;
        snapshot.hadSearch = r.Bool();
        snapshot.hadIndexes = r.Bool();
        snapshot.firstEntry = ReadCopy(r);
        s.PreviousIndex = std::move(snapshot);
    }
    if (r.Bool()) {
        docsettings::BaseURLSnapshot snapshot;
        snapshot.hadURI = r.Bool();
        snapshot.base = ReadCopy(r);
        s.PreviousBaseURL = std::move(snapshot);
    }
    if (version >= 2 && r.Bool()) {
        docsettings::InfoSnapshot snapshot;
        snapshot.hadInfo = r.Bool();
        for (ObjectCopy& entry : snapshot.entries) {
            entry = ReadCopy(r);
        }
        s.PreviousInfo = std::move(snapshot);
    }
    return s;
}

void WriteOpen(Writer& w, const docsettings::OpenSettings& s) {
    w.Text("open");
    for (std::int32_t v : {s.Page, s.View, s.Zoom, s.Layout, s.FitWindow, s.CenterWindow,
                           s.FullScreen, s.HideToolBar, s.HideMenuBar, s.HideWindowUI}) {
        w.Int(v);
    }
    w.Bool(s.Previous.has_value());
    if (s.Previous) {
        const docsettings::ViewSnapshot& p = *s.Previous;
        WriteCopy(w, p.pageMode);
        WriteCopy(w, p.pageLayout);
        WriteCopy(w, p.openAction);
        w.Bool(p.hadViewerPreferences);
        WriteCopy(w, p.nonFullScreenPageMode);
        for (const ObjectCopy& c : p.preferences) {
            WriteCopy(w, c);
        }
    }
    w.Line();
}

docsettings::OpenSettings ReadOpen(Reader& r) {
    r.Expect("open");
    docsettings::OpenSettings s;
    for (std::int32_t* v : {&s.Page, &s.View, &s.Zoom, &s.Layout, &s.FitWindow, &s.CenterWindow,
                            &s.FullScreen, &s.HideToolBar, &s.HideMenuBar, &s.HideWindowUI}) {
        *v = r.Int32();
    }
    if (r.Bool()) {
        docsettings::ViewSnapshot p;
        p.pageMode = ReadCopy(r);
        p.pageLayout = ReadCopy(r);
        p.openAction = ReadCopy(r);
        p.hadViewerPreferences = r.Bool();
        p.nonFullScreenPageMode = ReadCopy(r);
        for (ObjectCopy& c : p.preferences) {
            c = ReadCopy(r);
        }
        s.Previous = std::move(p);
    }
    return s;
}

void WriteSecurity(Writer& w, const docsettings::SecuritySettings& s) {
    w.Text("security");
    w.Text(s.CurrentPassword);
    w.Text(s.OpenPassword);
    w.Text(s.OwnerPassword);
    w.Bool(s.ChangeSecurity);
    w.Int(s.Permissions);
    w.Bool(s.RemoveSecurity);
    w.Line();
}

docsettings::SecuritySettings ReadSecurity(Reader& r) {
    r.Expect("security");
    docsettings::SecuritySettings s;
    s.CurrentPassword = r.Text();
    s.OpenPassword = r.Text();
    s.OwnerPassword = r.Text();
    s.ChangeSecurity = r.Bool();
    s.Permissions = static_cast<std::uint32_t>(r.Int());
    s.RemoveSecurity = r.Bool();
    return s;
}

void WriteSkippedAndFingerprint(Writer& w, const ui::UndoEntry& e) {
    w.Text("skipped");
    w.Int(static_cast<std::int64_t>(e.SkippedPages.size()));
    for (const std::vector<std::int32_t>& pages : e.SkippedPages) {
        w.Int(static_cast<std::int64_t>(pages.size()));
        for (std::int32_t page : pages) {
            w.Int(page);
        }
    }
    w.Line();
    w.Text("fingerprint");
    w.Text(std::to_string(e.Fingerprint.Size));
    w.Text(std::to_string(e.Fingerprint.Hash));
    w.Text(std::to_string(e.Before.Size));
    w.Text(std::to_string(e.Before.Hash));
    w.Line();
}

void ReadSkippedAndFingerprint(Reader& r, ui::UndoEntry& e) {
    r.Expect("skipped");
    for (std::size_t n = r.Count(); n > 0; --n) {
        std::vector<std::int32_t> pages;
        for (std::size_t m = r.Count(); m > 0; --m) {
            const std::int64_t page = r.Int();
            if (page < 1 || page > std::numeric_limits<std::int32_t>::max()) {
                throw JournalError("a bad page number in the journal");
            }
            pages.push_back(static_cast<std::int32_t>(page));
        }
        e.SkippedPages.push_back(std::move(pages));
    }
    r.Expect("fingerprint");
    e.Fingerprint.Size = r.UInt64();
    e.Fingerprint.Hash = r.UInt64();
    e.Before.Size = r.UInt64();
    e.Before.Hash = r.UInt64();
}

std::string ErrnoText() { return std::strerror(errno); }

} // namespace

fs::path DefaultJournalFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return fs::path(state) / "tesser";
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        throw JournalError("neither XDG_STATE_HOME nor HOME is set: no place for the undo journal");
    }
    return fs::path(home) / ".local" / "state" / "tesser";
}

std::string FormatJournal(const std::vector<JournalRecord>& records) {
    Writer w;
    w.Text(kMagic);
    w.Int(kVersion);
    w.Int(static_cast<std::int64_t>(records.size()));
    w.Line();
    for (const JournalRecord& jr : records) {
        w.Text("record");
        w.Text(jr.Record.ReopenPassword);
        w.Bool(jr.Record.ChangedSecurity);
        w.Int(jr.Id);
        w.Int(jr.Time);
        w.Bool(jr.Record.Incremental);
        w.Int(static_cast<std::int64_t>(jr.Record.Tesserions.size()));
        w.Int(static_cast<std::int64_t>(jr.Record.Entries.size()));
        w.Line();
        for (const model::Tesserion& t : jr.Record.Tesserions) {
            WriteTesserion(w, t);
        }
        for (const ui::UndoEntry& e : jr.Record.Entries) {
            w.Text("entry");
            w.Bool(e.IsCurrent);
            w.Text(e.Name);
            w.Line();
            WriteInfo(w, e.Info);
            WriteOpen(w, e.Open);
            WriteSecurity(w, e.Security);
            WriteSkippedAndFingerprint(w, e);
        }
        w.Text("kept");
        w.Int(static_cast<std::int64_t>(jr.KeptSecurity.size()));
        w.Line();
        for (const auto& [marker, bytes] : jr.KeptSecurity) {
            w.Text(marker);
            w.Text(bytes);
            w.Line();
        }
    }
    w.Text("end");
    w.Line();
    return w.str();
}

std::vector<JournalRecord> ParseJournal(const std::string& text) {
    Reader r(text);
    r.Expect(kMagic);
    const std::int64_t version = r.Int();
    if (version > kVersion) {
        throw JournalVersionError("the journal was written by a newer version of tesser");
    }
    if (version < 1) {
        throw JournalError("the journal has a bad version number");
    }
    std::vector<JournalRecord> records;
    for (std::size_t recordCount = r.Count(); recordCount > 0; --recordCount) {
        JournalRecord& jr = records.emplace_back();
        r.Expect("record");
        jr.Record.ReopenPassword = r.Text();
        jr.Record.ChangedSecurity = r.Bool();
        if (version >= 4) {
            jr.Id = r.Int();
            jr.Time = r.Int();
            if (version >= 5) {
                jr.Record.Incremental = r.Bool();
            }
        } else {
            jr.Id = static_cast<std::int64_t>(records.size()); // its place, from 1
        }
        const std::size_t tesserionCount = r.Count();
        const std::size_t entryCount = r.Count();
        for (std::size_t n = tesserionCount; n > 0; --n) {
            jr.Record.Tesserions.push_back(ReadTesserion(r));
        }
        for (std::size_t n = entryCount; n > 0; --n) {
            ui::UndoEntry& e = jr.Record.Entries.emplace_back();
            r.Expect("entry");
            e.IsCurrent = r.Bool();
            e.Name = r.Text();
            e.Info = ReadInfo(r, static_cast<int>(version));
            e.Open = ReadOpen(r);
            e.Security = ReadSecurity(r);
            if (version >= 3) {
                ReadSkippedAndFingerprint(r, e);
            }
        }
        if (version >= 2) {
            r.Expect("kept");
            for (std::size_t n = r.Count(); n > 0; --n) {
                std::string marker = r.Text();
                std::string bytes = r.Text();
                jr.KeptSecurity.emplace_back(std::move(marker), std::move(bytes));
            }
        }
    }
    r.Expect("end");
    if (!r.AtEnd()) {
        throw JournalError("the journal has text after its end");
    }
    return records;
}

namespace {

std::vector<std::string*> SecurityTexts(JournalRecord& record) {
    std::vector<std::string*> texts;
    for (ui::UndoEntry& e : record.Record.Entries) {
        texts.push_back(&e.Security.OpenPassword);
        texts.push_back(&e.Security.OwnerPassword);
        texts.push_back(&e.Security.CurrentPassword);
    }
    return texts;
}

} // namespace

void KeepSecurityOf(JournalRecord& record) {
    for (std::string* text : SecurityTexts(record)) {
        if (host::ParseKeptMarker(*text) == 0 || *text == host::LostKeptMarker()) {
            continue;
        }
        const bool held = std::any_of(record.KeptSecurity.begin(), record.KeptSecurity.end(),
                                      [&](const auto& kept) { return kept.first == *text; });
        if (held) {
            continue;
        }
        try {
            record.KeptSecurity.emplace_back(*text, host::ExportKeptSecurity(*text));
        } catch (const std::exception& e) {
            throw JournalError(std::string("cannot keep the original security of a file for "
                                           "undo: ") +
                               e.what());
        }
    }
}

void RestoreKeptSecurity(JournalRecord& record) {
    std::vector<std::pair<std::string, std::string>> kept = record.KeptSecurity;
    std::vector<std::pair<std::string, std::string>> renamed; // old marker, new marker
    for (auto& [marker, bytes] : kept) {
        try {
            renamed.emplace_back(marker, host::ImportKeptSecurity(bytes));
        } catch (const std::exception& e) {
            throw JournalError(std::string("the original security of a file kept for undo "
                                           "cannot be used: ") +
                               e.what());
        }
        marker = renamed.back().second;
    }
    for (std::string* text : SecurityTexts(record)) {
        if (host::ParseKeptMarker(*text) == 0) {
            continue;
        }
        const auto found = std::find_if(renamed.begin(), renamed.end(),
                                        [&](const auto& pair) { return pair.first == *text; });
        *text = found != renamed.end() ? found->second : host::LostKeptMarker();
    }
    record.KeptSecurity = std::move(kept);
}

Journal::Journal(fs::path folder) : path_(folder / "journal") {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw JournalError("cannot create the folder " + folder.string() + ": " +
                           error.message());
    }
    // Only the owner may read what the journal holds, whatever the umask made of the folder.
    if (::chmod(folder.c_str(), 0700) != 0) {
        throw JournalError("cannot restrict the folder " + folder.string() + ": " + ErrnoText());
    }
    const fs::path lockPath = folder / "journal.lock";
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) {
        throw JournalError("cannot open " + lockPath.string() + ": " + ErrnoText());
    }
    if (::flock(lockFd_, LOCK_EX) != 0) {
        const std::string reason = ErrnoText();
        ::close(lockFd_);
        lockFd_ = -1;
        throw JournalError("cannot lock " + lockPath.string() + ": " + reason);
    }
}

Journal::~Journal() {
    if (lockFd_ >= 0) {
        ::flock(lockFd_, LOCK_UN);
        ::close(lockFd_);
    }
}

std::vector<JournalRecord> Journal::Load() const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        if (!fs::exists(path_)) {
            return {};
        }
        throw JournalError("cannot read " + path_.string());
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (!in.good() && !in.eof()) {
        throw JournalError("cannot read " + path_.string());
    }
    try {
        std::vector<JournalRecord> records = ParseJournal(content.str());
        for (JournalRecord& record : records) {
            RestoreKeptSecurity(record);
        }
        return records;
    } catch (const JournalVersionError& e) {
        throw JournalVersionError(path_.string() + ": " + e.what());
    } catch (const JournalError& e) {
        throw JournalDamagedError(path_.string() + ": " + e.what());
    }
}

std::vector<JournalRecord> Journal::LoadOrSetAside(std::string& notice) const {
    notice.clear();
    try {
        return Load();
    } catch (const JournalDamagedError& e) {
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        fs::path aside = path_;
        aside += std::string(".damaged-") + stamp;
        for (int n = 2; fs::exists(aside) && n < 1000; ++n) {
            aside = path_;
            aside += std::string(".damaged-") + stamp + "-" + std::to_string(n);
        }
        if (::rename(path_.c_str(), aside.c_str()) != 0) {
            throw JournalError(std::string(e.what()) + "; it cannot be moved aside to " +
                               aside.string() + ": " + ErrnoText());
        }
        notice = std::string(e.what()) + "; it was moved aside to " + aside.string() +
                 " and a new journal is started";
        return {};
    }
}

void Journal::CheckWritable(std::size_t bytes) const {
    // Filler, not the records: the probe holds no password even for the moment it exists.
    const fs::path probe = path_.parent_path() / "journal.probe";
    const model::AtomicWriteResult result =
        model::WriteFileAtomically(probe, std::string(bytes, '\n'), 0600);
    std::error_code ignored;
    fs::remove(probe, ignored);
    if (!result) {
        throw JournalError("cannot be written in " + path_.parent_path().string() + " (" +
                           result.Reason + "); no document was touched");
    }
}

void Journal::Save(const std::vector<JournalRecord>& records) const {
    std::vector<JournalRecord> kept = records;
    for (JournalRecord& record : kept) {
        KeepSecurityOf(record);
    }
    // An existing journal keeps its mode through the atomic write: make sure it is private.
    ::chmod(path_.c_str(), 0600);
    const model::AtomicWriteResult result =
        model::WriteFileAtomically(path_, FormatJournal(kept), 0600);
    if (!result) {
        throw JournalError("cannot write " + path_.string() + ": " + result.Reason);
    }
}

} // namespace tesser::cli
