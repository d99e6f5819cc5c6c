#include "cli/Journal.h"

#include "host/Security.h"
#include "model/AtomicFile.h"
#include "model/TesserionFields.h"
#include "model/TextEncoding.h"
#include "model/Validation.h"
#include "ui/FileFingerprint.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <tuple>
#include <type_traits>
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
// the empty text is written as a lone "-". Each record's part starts a line with its tag.
class Writer {
public:
    void Text(const std::string& bytes) {
        if (!fresh_) {
            out_ << ' ';
        }
        fresh_ = false;
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
    void UInt(std::uint64_t value) { Text(std::to_string(value)); }
    void Double(double value) {
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        Text(std::string(buffer, result.ptr));
    }
    // Ends the line in hand, if any.
    void EndLine() {
        if (!fresh_) {
            out_ << '\n';
            fresh_ = true;
        }
    }
    void StartLine(std::string_view tag) {
        EndLine();
        Text(std::string(tag));
    }
    std::string str() const { return out_.str(); }

private:
    std::ostringstream out_;
    bool fresh_ = true;
};

// Reads tokens. Text that is not a journal (a tag or count missing, a bad escape, the end too
// early) throws JournalError. A value that is there but does not fit its field (a number out of
// range, an enumeration beyond its values) is noted instead: the entry that holds it is refused,
// and the rest of the journal can still be read.
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
    // A whole number from low to high; another value is noted (and answers low).
    std::int64_t Whole(std::string_view name, std::int64_t low, std::int64_t high) {
        const std::string token = Text();
        std::int64_t value = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size() || value < low ||
            value > high) {
            Refuse(std::string(name) + " is \"" + token + "\", not a whole number from " +
                   std::to_string(low) + " to " + std::to_string(high));
            return low;
        }
        return value;
    }
    std::uint64_t Unsigned(std::string_view name) {
        const std::string token = Text();
        std::uint64_t value = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
            Refuse(std::string(name) + " is \"" + token + "\", not a whole number from 0 to " +
                   std::to_string(std::numeric_limits<std::uint64_t>::max()));
        }
        return value;
    }
    double Finite(std::string_view name) {
        const std::string token = Text();
        double value = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size() ||
            !std::isfinite(value)) {
            Refuse(std::string(name) + " is \"" + token + "\", not a finite number");
            return 0;
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
        const std::string token = Text();
        std::int64_t n = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), n);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size() || n < 0 ||
            n > 100000000) {
            throw JournalError("a bad count in the journal: " + token);
        }
        return static_cast<std::size_t>(n);
    }

    // The first value noted since the last call, or empty.
    void Refuse(std::string what) {
        if (refusal_.empty()) {
            refusal_ = std::move(what);
        }
    }
    std::string TakeRefusal() { return std::exchange(refusal_, {}); }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
    static int Hex(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        throw JournalError("a bad escape in the journal");
    }
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
    }
    const std::string& text_;
    std::size_t pos_ = 0;
    std::string refusal_;
};

// ObjectCopy trees.
void WriteCopy(Writer& w, const ObjectCopy& c) {
    using K = ObjectCopy::Kind;
    w.Int(static_cast<int>(c.kind()));
    switch (c.kind()) {
    case K::Boolean:
        w.Int(c.boolean() ? 1 : 0);
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

ObjectCopy ReadCopy(Reader& r, std::string_view name, int depth = 0) {
    if (depth > 64) {
        throw JournalError("the journal nests objects too deeply");
    }
    using K = ObjectCopy::Kind;
    constexpr std::int64_t kLow = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kHigh = std::numeric_limits<std::int32_t>::max();
    const std::string kindToken = r.Text();
    int kind = -1;
    std::from_chars(kindToken.data(), kindToken.data() + kindToken.size(), kind);
    switch (static_cast<K>(kind)) {
    case K::Absent:
        return ObjectCopy::Absent();
    case K::Null:
        return ObjectCopy::Null();
    case K::Unsupported:
        return ObjectCopy::Unsupported();
    case K::Boolean:
        return ObjectCopy::Boolean(r.Whole(name, 0, 1) != 0);
    case K::Integer:
        return ObjectCopy::Integer(static_cast<std::int32_t>(r.Whole(name, kLow, kHigh)));
    case K::Page:
        return ObjectCopy::Page(static_cast<std::int32_t>(r.Whole(name, kLow, kHigh)));
    case K::Real:
        return ObjectCopy::Real(static_cast<HFixed>(r.Whole(name, kLow, kHigh)));
    case K::Name:
        return ObjectCopy::Name(r.Text());
    case K::String:
        return ObjectCopy::String(r.Text());
    case K::Array: {
        std::vector<ObjectCopy> items;
        for (std::size_t n = r.Count(); n > 0; --n) {
            items.push_back(ReadCopy(r, name, depth + 1));
        }
        return ObjectCopy::Array(std::move(items));
    }
    case K::Dictionary: {
        std::vector<std::pair<std::string, ObjectCopy>> entries;
        for (std::size_t n = r.Count(); n > 0; --n) {
            std::string key = r.Text();
            entries.emplace_back(std::move(key), ReadCopy(r, name, depth + 1));
        }
        return ObjectCopy::Dictionary(std::move(entries));
    }
    }
    // Its items cannot be told from what follows: the journal cannot be read on.
    throw JournalError("an unknown object kind in the journal: " + kindToken);
}

// One field of a record: how it is written and read back, checked. A record's fields are listed
// once, in a table, in the order of the journal; writing and reading both walk the table, so the
// two cannot disagree. A field added in a later version of the journal is read only from
// journals of that version on (a field not read keeps its default).
template <class T> struct Field {
    std::function<void(Writer&, const T&)> write;
    std::function<void(Reader&, T&, int version)> read;
    int since = 1; // the journal version that added it
};
template <class T> using Table = std::vector<Field<T>>;

template <class T> void WriteFields(Writer& w, const Table<T>& table, const T& value) {
    for (const Field<T>& field : table) {
        field.write(w, value);
    }
}

template <class T> void ReadFields(Reader& r, const Table<T>& table, T& value, int version) {
    for (const Field<T>& field : table) {
        if (version >= field.since) {
            field.read(r, value, version);
        }
    }
}

// The field kinds. get answers the field's member of a record (const or not), as FIELD does.
#define FIELD(member)                                                                              \
    [](auto& record) -> auto& {                                                                    \
        return record.member;                                                                      \
    }

// The tag that starts a line: "record", "entry", "info", ...
template <class T> Field<T> Tag(std::string_view tag, int since = 1) {
    return {[tag](Writer& w, const T&) { w.StartLine(tag); },
            [tag](Reader& r, T&, int) { r.Expect(std::string(tag)); }, since};
}

template <class T, class Get> Field<T> Text(Get get, int since = 1) {
    return {[get](Writer& w, const T& v) { w.Text(get(v)); },
            [get](Reader& r, T& v, int) { get(v) = r.Text(); }, since};
}

template <class T, class Get> Field<T> Flag(std::string_view name, Get get, int since = 1) {
    return {[get](Writer& w, const T& v) { w.Int(get(v) ? 1 : 0); },
            [get, name](Reader& r, T& v, int) { get(v) = r.Whole(name, 0, 1) != 0; }, since};
}

// A whole number of the member's type, from low to high.
template <class T, class Get>
Field<T> Whole(std::string_view name, Get get, std::int64_t low, std::int64_t high, int since = 1) {
    return {[get](Writer& w, const T& v) { w.Int(static_cast<std::int64_t>(get(v))); },
            [get, name, low, high](Reader& r, T& v, int) {
                using Member = std::remove_reference_t<decltype(get(v))>;
                get(v) = static_cast<Member>(r.Whole(name, low, high));
            },
            since};
}

template <class T, class Get>
Field<T> Int32(std::string_view name, Get get, std::int64_t low = INT32_MIN,
               std::int64_t high = INT32_MAX, int since = 1) {
    return Whole<T>(name, get, low, high, since);
}

template <class T, class Get> Field<T> Unsigned(std::string_view name, Get get, int since = 1) {
    return {[get](Writer& w, const T& v) { w.UInt(get(v)); },
            [get, name](Reader& r, T& v, int) { get(v) = r.Unsigned(name); }, since};
}

// An enumeration with the values 0 to count - 1.
template <class T, class Get> Field<T> Choice(std::string_view name, Get get, int count) {
    return Whole<T>(name, get, 0, count - 1);
}

template <class T, class Get> Field<T> Real(std::string_view name, Get get) {
    return {[get](Writer& w, const T& v) { w.Double(get(v)); },
            [get, name](Reader& r, T& v, int) { get(v) = r.Finite(name); }};
}

template <class T, class Get> Field<T> Copy(std::string_view name, Get get) {
    return {[get](Writer& w, const T& v) { WriteCopy(w, get(v)); },
            [get, name](Reader& r, T& v, int) { get(v) = ReadCopy(r, name); }};
}

// A std::optional member: a flag, then the value's own fields when it is there.
template <class T, class S, class Get>
Field<T> Optional(std::string_view name, Get get, const Table<S>& table, int since = 1) {
    return {[get, &table](Writer& w, const T& v) {
                w.Int(get(v).has_value() ? 1 : 0);
                if (get(v)) {
                    WriteFields(w, table, *get(v));
                }
            },
            [get, name, &table](Reader& r, T& v, int version) {
                if (r.Whole(name, 0, 1) != 0) {
                    S value;
                    ReadFields(r, table, value, version);
                    get(v) = std::move(value);
                }
            },
            since};
}

// A member that is a record of its own, with its table.
template <class T, class S, class Get>
Field<T> Part(Get get, const Table<S>& table, int since = 1) {
    return {[get, &table](Writer& w, const T& v) { WriteFields(w, table, get(v)); },
            [get, &table](Reader& r, T& v, int version) { ReadFields(r, table, get(v), version); },
            since};
}

// The tables of the journal's records.

// A Tesserion field's journal form, by its kind in the field table.
Field<model::Tesserion> JournalForm(const model::TesserionField& field) {
    using T = model::Tesserion;
    using Kind = model::TesserionField::FieldKind;
    const model::TesserionField* f = &field;
    switch (field.Kind) {
    case Kind::Text:
    case Kind::Name:
        return Text<T>([f](auto& t) -> auto& { return f->TextOf(const_cast<T&>(t)); });
    case Kind::Number:
        return Real<T>(
            field.Noun, [f](auto& t) -> auto& { return f->NumberOf(const_cast<T&>(t)); });
    case Kind::Flag:
        return Flag<T>(
            field.Noun, [f](auto& t) -> auto& { return f->FlagOf(const_cast<T&>(t)); });
    case Kind::Choice: {
        const auto count = static_cast<std::int64_t>(field.Words.size());
        const std::string_view noun = field.Noun;
        return {[f](Writer& w, const T& t) { w.Int(f->ChoiceOf(t)); },
                [f, noun, count](Reader& r, T& t, int) {
                    f->SetChoice(t, static_cast<std::int32_t>(r.Whole(noun, 0, count - 1)));
                }};
    }
    }
    throw std::logic_error("a Tesserion field of no kind");
}

// The tag, the name, then the fields of the field table in their journal order.
const Table<model::Tesserion>& TesserionFields() {
    using T = model::Tesserion;
    static const Table<T> table = [] {
        Table<T> fields = {Tag<T>("tesserion"), Text<T>(FIELD(Name))};
        for (const model::TesserionField* field : model::JournalFields()) {
            fields.push_back(JournalForm(*field));
            fields.back().since = field->JournalSince;
        }
        return fields;
    }();
    return table;
}

const Table<docsettings::IndexSnapshot>& IndexSnapshotFields() {
    using T = docsettings::IndexSnapshot;
    static const Table<T> table = {
        Flag<T>("a flag of the previous index", FIELD(hadSearch)),
        Flag<T>("a flag of the previous index", FIELD(hadIndexes)),
        Copy<T>("a number of the previous index", FIELD(firstEntry)),
    };
    return table;
}

const Table<docsettings::BaseURLSnapshot>& BaseURLSnapshotFields() {
    using T = docsettings::BaseURLSnapshot;
    static const Table<T> table = {
        Flag<T>("a flag of the previous base URL", FIELD(hadURI)),
        Copy<T>("a number of the previous base URL", FIELD(base)),
    };
    return table;
}

const Table<docsettings::InfoSnapshot>& InfoSnapshotFields() {
    using T = docsettings::InfoSnapshot;
    static const Table<T> table = {
        Flag<T>("a flag of the previous information", FIELD(hadInfo)),
        Copy<T>("a number of the previous information", FIELD(entries[0])),
        Copy<T>("a number of the previous information", FIELD(entries[1])),
        Copy<T>("a number of the previous information", FIELD(entries[2])),
        Copy<T>("a number of the previous information", FIELD(entries[3])),
    };
    static_assert(std::tuple_size_v<decltype(T::entries)> == 4);
    return table;
}

const Table<docsettings::InfoSettings>& InfoFields() {
    using T = docsettings::InfoSettings;
    static const Table<T> table = {
        Tag<T>("info"),
        Flag<T>("the Title flag", FIELD(SetTitle)),
        Flag<T>("the Subject flag", FIELD(SetSubject)),
        Flag<T>("the Author flag", FIELD(SetAuthor)),
        Flag<T>("the Keywords flag", FIELD(SetKeywords)),
        Flag<T>("the index flag", FIELD(SetIndex)),
        Flag<T>("the base URL flag", FIELD(SetBaseURL)),
        Text<T>(FIELD(Title)),
        Text<T>(FIELD(Subject)),
        Text<T>(FIELD(Author)),
        Text<T>(FIELD(Keywords)),
        Text<T>(FIELD(IndexFile)),
        Text<T>(FIELD(BaseURL)),
        Optional<T>("the previous index flag", FIELD(PreviousIndex), IndexSnapshotFields()),
        Optional<T>("the previous base URL flag", FIELD(PreviousBaseURL), BaseURLSnapshotFields()),
        Optional<T>("the previous information flag", FIELD(PreviousInfo), InfoSnapshotFields(), 2),
    };
    return table;
}

const Table<docsettings::ViewSnapshot>& ViewSnapshotFields() {
    using T = docsettings::ViewSnapshot;
    static const Table<T> table = {
        Copy<T>("a number of the previous view", FIELD(pageMode)),
        Copy<T>("a number of the previous view", FIELD(pageLayout)),
        Copy<T>("a number of the previous view", FIELD(openAction)),
        Flag<T>("a flag of the previous view", FIELD(hadViewerPreferences)),
        Copy<T>("a number of the previous view", FIELD(nonFullScreenPageMode)),
        Copy<T>("a number of the previous view", FIELD(preferences[0])),
        Copy<T>("a number of the previous view", FIELD(preferences[1])),
        Copy<T>("a number of the previous view", FIELD(preferences[2])),
        Copy<T>("a number of the previous view", FIELD(preferences[3])),
        Copy<T>("a number of the previous view", FIELD(preferences[4])),
    };
    static_assert(std::tuple_size_v<decltype(T::preferences)> == 5);
    return table;
}

const Table<docsettings::OpenSettings>& OpenFields() {
    using T = docsettings::OpenSettings;
    // Rows of the Open page's lists; a capture also holds -1 for "none" (InitialView.h).
    static const Table<T> table = {
        Tag<T>("open"),
        Int32<T>("the page", FIELD(Page), -1, INT32_MAX),
        Int32<T>("the view", FIELD(View), -1, 4),
        Int32<T>("the zoom", FIELD(Zoom), -1, 12),
        Int32<T>("the layout", FIELD(Layout), -1, 4),
        Int32<T>("the fit-window option", FIELD(FitWindow), -1, 2),
        Int32<T>("the centre-window option", FIELD(CenterWindow), -1, 2),
        Int32<T>("the full-screen option", FIELD(FullScreen), -1, 2),
        Int32<T>("the hide-toolbar option", FIELD(HideToolBar), -1, 2),
        Int32<T>("the hide-menubar option", FIELD(HideMenuBar), -1, 2),
        Int32<T>("the hide-window-controls option", FIELD(HideWindowUI), -1, 2),
        Optional<T>("the previous view flag", FIELD(Previous), ViewSnapshotFields()),
    };
    return table;
}

const Table<docsettings::SecuritySettings>& SecurityFields() {
    using T = docsettings::SecuritySettings;
    static const Table<T> table = {
        Tag<T>("security"),
        Text<T>(FIELD(CurrentPassword)),
        Text<T>(FIELD(OpenPassword)),
        Text<T>(FIELD(OwnerPassword)),
        Flag<T>("the change-security flag", FIELD(ChangeSecurity)),
        Whole<T>("the permissions", FIELD(Permissions), 0, UINT32_MAX),
        Flag<T>("the remove-security flag", FIELD(RemoveSecurity)),
    };
    return table;
}

// Skipped pages: for each Tesserion, a list of page numbers.
Field<ui::UndoEntry> SkippedPages(int since) {
    return {[](Writer& w, const ui::UndoEntry& e) {
                w.Int(static_cast<std::int64_t>(e.SkippedPages.size()));
                for (const std::vector<std::int32_t>& pages : e.SkippedPages) {
                    w.Int(static_cast<std::int64_t>(pages.size()));
                    for (std::int32_t page : pages) {
                        w.Int(page);
                    }
                }
            },
            [](Reader& r, ui::UndoEntry& e, int) {
                for (std::size_t n = r.Count(); n > 0; --n) {
                    std::vector<std::int32_t> pages;
                    for (std::size_t m = r.Count(); m > 0; --m) {
                        pages.push_back(
                            static_cast<std::int32_t>(r.Whole("a skipped page", 1, INT32_MAX)));
                    }
                    e.SkippedPages.push_back(std::move(pages));
                }
            },
            since};
}

const Table<ui::UndoEntry>& EntryFields() {
    using T = ui::UndoEntry;
    static const Table<T> table = {
        Tag<T>("entry"),
        Flag<T>("the current-document flag", FIELD(IsCurrent)),
        Text<T>(FIELD(Name)),
        Part<T>(FIELD(Info), InfoFields()),
        Part<T>(FIELD(Open), OpenFields()),
        Part<T>(FIELD(Security), SecurityFields()),
        Tag<T>("skipped", 3),
        SkippedPages(3),
        Tag<T>("fingerprint", 3),
        Unsigned<T>("the size of the file", FIELD(Fingerprint.Size), 3),
        Unsigned<T>("the hash of the file", FIELD(Fingerprint.Hash), 3),
        Unsigned<T>("the size of the file before", FIELD(Before.Size), 3),
        Unsigned<T>("the hash of the file before", FIELD(Before.Hash), 3),
    };
    return table;
}

// A record's own fields; its Tesserions, entries and kept security follow as lists.
const Table<JournalRecord>& RecordFields() {
    using T = JournalRecord;
    static const Table<T> table = {
        Tag<T>("record"),
        Text<T>(FIELD(Record.ReopenPassword)),
        Flag<T>("the changed-security flag", FIELD(Record.ChangedSecurity)),
        Whole<T>("the run's number", FIELD(Id), 0, INT64_MAX, 4),
        Whole<T>("the run's time", FIELD(Time), 0, INT64_MAX, 4),
        Flag<T>("the incremental flag", FIELD(Record.Incremental), 5),
    };
    return table;
}

#undef FIELD

std::string ErrnoText() {
    return std::strerror(errno);
}

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
    w.StartLine(kMagic);
    w.Int(kVersion);
    w.Int(static_cast<std::int64_t>(records.size()));
    for (const JournalRecord& jr : records) {
        WriteFields(w, RecordFields(), jr);
        w.Int(static_cast<std::int64_t>(jr.Record.Tesserions.size()));
        w.Int(static_cast<std::int64_t>(jr.Record.Entries.size()));
        for (const model::Tesserion& t : jr.Record.Tesserions) {
            WriteFields(w, TesserionFields(), t);
        }
        for (const ui::UndoEntry& e : jr.Record.Entries) {
            WriteFields(w, EntryFields(), e);
        }
        w.StartLine("kept");
        w.Int(static_cast<std::int64_t>(jr.KeptSecurity.size()));
        for (const auto& [marker, bytes] : jr.KeptSecurity) {
            w.EndLine();
            w.Text(marker);
            w.Text(bytes);
        }
    }
    w.StartLine("end");
    w.EndLine();
    return w.str();
}

std::vector<JournalRecord> ParseJournal(const std::string& text,
                                        std::vector<std::string>* refused) {
    Reader r(text);
    r.Expect(kMagic);
    const std::string versionToken = r.Text();
    int version = 0;
    const auto parsed =
        std::from_chars(versionToken.data(), versionToken.data() + versionToken.size(), version);
    if (parsed.ec == std::errc::result_out_of_range ||
        (parsed.ec == std::errc() && version > kVersion)) {
        throw JournalVersionError("the journal was written by a newer version of tesser");
    }
    if (parsed.ec != std::errc() || parsed.ptr != versionToken.data() + versionToken.size() ||
        version < 1) {
        throw JournalError("the journal has a bad version number");
    }
    // A refusal: without a list to tell it in, the journal is not read.
    auto refuse = [refused](std::string what) {
        if (refused == nullptr) {
            throw JournalError(what);
        }
        refused->push_back(std::move(what));
    };
    std::vector<JournalRecord> records;
    const std::size_t recordCount = r.Count();
    for (std::size_t place = 1; place <= recordCount; ++place) {
        JournalRecord jr;
        ReadFields(r, RecordFields(), jr, version);
        if (version < 4) {
            jr.Id = static_cast<std::int64_t>(place); // numbered by place
        }
        std::string problem = r.TakeRefusal();
        const std::string run = "run " + (problem.empty() ? std::to_string(jr.Id)
                                                          : "at place " + std::to_string(place));
        const std::size_t tesserionCount = r.Count();
        const std::size_t entryCount = r.Count();
        for (std::size_t n = tesserionCount; n > 0; --n) {
            model::Tesserion& t = jr.Record.Tesserions.emplace_back();
            ReadFields(r, TesserionFields(), t, version);
            std::string wrong = r.TakeRefusal();
            model::Tesserion copy = t;
            if (const auto word = wrong.empty() ? model::ValidateTesserion(copy) : std::nullopt) {
                wrong = "the " + *word + " is invalid";
            }
            if (!wrong.empty() && problem.empty()) {
                problem = "its Tesserion \"" + model::Windows1252ToUtf8(t.Name) + "\": " + wrong;
            }
        }
        std::vector<std::string> entryProblems;
        for (std::size_t n = entryCount; n > 0; --n) {
            ui::UndoEntry e;
            ReadFields(r, EntryFields(), e, version);
            if (std::string wrong = r.TakeRefusal(); !wrong.empty()) {
                entryProblems.push_back(run + ", file " + e.Name + ": " + wrong +
                                        "; the file is left out of the run's undo");
                continue;
            }
            jr.Record.Entries.push_back(std::move(e));
        }
        if (version >= 2) {
            r.Expect("kept");
            for (std::size_t n = r.Count(); n > 0; --n) {
                std::string marker = r.Text();
                std::string bytes = r.Text();
                jr.KeptSecurity.emplace_back(std::move(marker), std::move(bytes));
            }
        }
        if (!problem.empty()) {
            refuse(run + ": " + problem + "; the run is left out (it cannot be undone)");
            continue;
        }
        for (std::string& what : entryProblems) {
            refuse(std::move(what));
        }
        if (jr.Record.Entries.empty() && entryCount > 0) {
            continue; // nothing of it is left to undo
        }
        records.push_back(std::move(jr));
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
        throw JournalError("cannot create the folder " + folder.string() + ": " + error.message());
    }
    // Only the owner may read what the journal holds, whatever the umask made of the folder.
    if (::chmod(folder.c_str(), 0700) != 0) {
        throw JournalError("cannot restrict the folder " + folder.string() + ": " + ErrnoText());
    }
    const fs::path lockPath = folder / "journal.lock";
    fileio::UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock) {
        throw JournalError("cannot open " + lockPath.string() + ": " + ErrnoText());
    }
    if (::flock(lock.get(), LOCK_EX) != 0) {
        throw JournalError("cannot lock " + lockPath.string() + ": " + ErrnoText());
    }
    lock_ = std::move(lock);
}

Journal::~Journal() {
    if (lock_) {
        ::flock(lock_.get(), LOCK_UN); // closing would drop it too; said for the reader
    }
}

std::vector<JournalRecord> Journal::Load(std::vector<std::string>& refused) const {
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
    std::vector<JournalRecord> records;
    std::vector<std::string> refusals;
    try {
        records = ParseJournal(content.str(), &refusals);
    } catch (const JournalVersionError& e) {
        throw JournalVersionError(path_.string() + ": " + e.what());
    } catch (const JournalError& e) {
        throw JournalDamagedError(path_.string() + ": " + e.what());
    }
    std::vector<JournalRecord> usable;
    for (JournalRecord& record : records) {
        try {
            RestoreKeptSecurity(record);
            usable.push_back(std::move(record));
        } catch (const JournalError& e) {
            refusals.push_back("run " + std::to_string(record.Id) + ": " + e.what() +
                               "; the run is left out (it cannot be undone)");
        }
    }
    for (const std::string& what : refusals) {
        refused.push_back(path_.string() + ": " + what);
    }
    return usable;
}

std::vector<JournalRecord> Journal::LoadOrSetAside(std::string& notice) const {
    notice.clear();
    try {
        std::vector<std::string> refused;
        std::vector<JournalRecord> records = Load(refused);
        for (const std::string& what : refused) {
            notice += (notice.empty() ? "" : "\n") + what;
        }
        return records;
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

std::vector<std::int64_t> Journal::Save(std::vector<JournalRecord> records) const {
    const std::size_t dropped = records.size() > kJournalRuns ? records.size() - kJournalRuns : 0;
    std::vector<std::int64_t> droppedIds;
    for (std::size_t i = 0; i < dropped; ++i) {
        droppedIds.push_back(records[i].Id);
    }
    std::vector<JournalRecord> kept(
        std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(dropped)),
        std::make_move_iterator(records.end()));
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
    return droppedIds;
}

fs::path Journal::PendingPath() const {
    fs::path pending = path_;
    pending += ".pending";
    return pending;
}

namespace {

constexpr const char* kPendingFrame = "pending ";
constexpr const char* kUndoingFrame = "undoing ";

} // namespace

void Journal::AppendPending(const JournalRecord& one, bool durable, bool undo) const {
    JournalRecord kept = one;
    KeepSecurityOf(kept);
    const std::string body = FormatJournal({kept});
    const std::string frame =
        (undo ? kUndoingFrame : kPendingFrame) + std::to_string(body.size()) + "\n" + body;
    const fs::path pending = PendingPath();
    const fileio::UniqueFd fd(
        ::open(pending.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (!fd) {
        throw JournalError("cannot write " + pending.string() + ": " + ErrnoText() +
                           "; the document was not saved");
    }
    const ssize_t written = ::write(fd.get(), frame.data(), frame.size());
    if (written != static_cast<ssize_t>(frame.size())) {
        const std::string reason = written < 0 ? ErrnoText() : "the disk is full";
        // A torn frame at the end is read as no frame: nothing follows it unsaved.
        throw JournalError("cannot write " + pending.string() + ": " + reason +
                           "; the document was not saved");
    }
    if (durable) {
        if (::fsync(fd.get()) != 0) {
            throw JournalError("cannot write " + pending.string() + ": " + ErrnoText() +
                               "; the document was not saved");
        }
        const fileio::UniqueFd folder(
            ::open(path_.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder) {
            (void)::fsync(folder.get());
        }
    }
}

void Journal::RemovePending() const {
    std::error_code ignored;
    fs::remove(PendingPath(), ignored);
}

std::string Journal::RecoverPending(std::vector<JournalRecord>& records) const {
    const fs::path pending = PendingPath();
    std::ifstream in(pending, std::ios::binary);
    if (!in) {
        return {};
    }
    std::ostringstream content;
    content << in.rdbuf();
    const std::string text = content.str();

    // The runs of the log by number, each file's latest entry last; the files an undo was saving.
    std::map<std::int64_t, JournalRecord> runs;
    std::vector<JournalRecord> undoing;
    std::size_t at = 0;
    const std::string pendingFrame = kPendingFrame;
    const std::string undoingFrame = kUndoingFrame;
    for (;;) {
        const bool isUndo = text.compare(at, undoingFrame.size(), undoingFrame) == 0;
        if (!isUndo && text.compare(at, pendingFrame.size(), pendingFrame) != 0) {
            break;
        }
        const std::size_t end = text.find('\n', at);
        std::size_t length = 0;
        const char* first = text.data() + at + (isUndo ? undoingFrame : pendingFrame).size();
        const char* last = text.data() + (end == std::string::npos ? text.size() : end);
        const auto parsed = std::from_chars(first, last, length);
        if (end == std::string::npos || parsed.ec != std::errc() || parsed.ptr != last ||
            length > text.size() - end - 1) {
            break; // torn: the append that was cut short saved nothing
        }
        std::vector<JournalRecord> one;
        try {
            one = ParseJournal(text.substr(end + 1, length));
            for (JournalRecord& record : one) {
                RestoreKeptSecurity(record);
            }
        } catch (const JournalError&) {
            break;
        }
        at = end + 1 + length;
        if (isUndo) {
            for (JournalRecord& record : one) {
                undoing.push_back(std::move(record));
            }
            continue;
        }
        for (JournalRecord& record : one) {
            auto [run, added] = runs.try_emplace(record.Id, record);
            if (!added) {
                for (ui::UndoEntry& entry : record.Record.Entries) {
                    auto& entries = run->second.Record.Entries;
                    const auto same =
                        std::find_if(entries.begin(), entries.end(),
                                     [&](const ui::UndoEntry& e) { return e.Name == entry.Name; });
                    if (same != entries.end()) {
                        *same = std::move(entry);
                    } else {
                        entries.push_back(std::move(entry));
                    }
                }
            }
        }
    }

    std::string notice;
    for (auto& idAndRun : runs) {
        const auto& id = idAndRun.first;
        auto& run = idAndRun.second;
        const bool recorded = std::any_of(records.begin(), records.end(),
                                          [&](const JournalRecord& r) { return r.Id == id; });
        if (recorded) {
            continue;
        }
        std::vector<ui::UndoEntry> changed;
        for (ui::UndoEntry& entry : run.Record.Entries) {
            std::string unreadable;
            const ui::FileFingerprint now = ui::TakeFingerprint(entry.Name, unreadable);
            if (!unreadable.empty() || now.Empty()) {
                continue; // not there: nothing was saved under the name
            }
            if (entry.Fingerprint.Empty()) {
                if (!entry.Before.Empty() && now == entry.Before) {
                    continue; // killed before its save replaced the file
                }
                entry.Fingerprint = now;
            }
            changed.push_back(std::move(entry));
        }
        if (changed.empty()) {
            continue;
        }
        const std::size_t count = changed.size();
        run.Record.Entries = std::move(changed);
        records.push_back(std::move(run));
        notice += (notice.empty() ? "" : "\n") + std::string("run ") + std::to_string(id) +
                  " was interrupted after it changed " + std::to_string(count) +
                  (count == 1 ? " file" : " files") +
                  "; it is recorded, and --undo=" + std::to_string(id) + " takes it back";
    }
    std::sort(records.begin(), records.end(),
              [](const JournalRecord& a, const JournalRecord& b) { return a.Id < b.Id; });

    for (const JournalRecord& intent : undoing) {
        const auto run = std::find_if(records.begin(), records.end(),
                                      [&](const JournalRecord& r) { return r.Id == intent.Id; });
        if (run == records.end() || intent.Record.Entries.empty()) {
            continue;
        }
        const ui::UndoEntry& saving = intent.Record.Entries.front();
        auto& entries = run->Record.Entries;
        const auto entry =
            std::find_if(entries.begin(), entries.end(),
                         [&](const ui::UndoEntry& e) { return e.Name == saving.Name; });
        if (entry == entries.end()) {
            continue; // the undo recorded it as restored before it was stopped
        }
        std::string unreadable;
        const ui::FileFingerprint now = ui::TakeFingerprint(saving.Name, unreadable);
        if (!unreadable.empty() || now.Empty() || now == entry->Fingerprint) {
            continue; // stopped before its save replaced the file: still as the run left it
        }
        const ui::UndoEntry restored = *entry;
        entries.erase(entry);
        for (JournalRecord& older : records) {
            if (older.Id >= intent.Id) {
                continue;
            }
            for (ui::UndoEntry& e : older.Record.Entries) {
                if (!e.IsCurrent && e.Name == restored.Name && !restored.Before.Empty() &&
                    e.Fingerprint == restored.Before) {
                    e.Fingerprint = now;
                }
            }
        }
        notice += (notice.empty() ? "" : "\n") + std::string("an undo of run ") +
                  std::to_string(intent.Id) + " was interrupted while it saved " + saving.Name +
                  "; that file counts as restored";
        if (entries.empty()) {
            records.erase(run);
        }
    }
    if (!notice.empty()) {
        Save(records);
    }
    RemovePending();
    return notice;
}

} // namespace tesser::cli
