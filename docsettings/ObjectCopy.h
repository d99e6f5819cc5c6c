// A copy of a PDF object that does not depend on the open document it came from.
//
// Undo data outlives the document: a run saves and closes each file, and "Undo" reopens it later.
// Host object handles die with the document, so the settings captures keep the entries they will
// have to put back as ObjectCopy values and rebuild them with MakeObject.
//
// What a copy keeps:
//   - null, booleans, integers, names and strings exactly;
//   - real numbers as the host reads them, 16.16 fixed point;
//   - arrays element by element;
//   - a page dictionary (Type /Page) as the page's index, so a destination still points at the
//     same page after the file was reopened;
//   - other dictionaries whole, every entry, in the order the host enumerates them.
// Indirect objects come back as direct copies. Streams, objects nested deeper than kMaxCopyDepth
// and everything past the first kMaxCopyObjects objects of one copy are not copied (the last
// keeps a dictionary that reaches a large object graph, such as an outline, from being copied
// whole): the copy records them as Unsupported and complete() is false.
#pragma once

#include "hostapi/HostTypes.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tesser::docsettings {

class ObjectCopy {
public:
    enum class Kind {
        Absent, // the entry was not there (DictGet gave the null object)
        Null,   // an explicit null, e.g. an array element
        Boolean,
        Integer,
        Real,
        Name,
        String,
        Array,
        Dictionary,
        Page,        // a page dictionary, kept as its 0-based index
        Unsupported, // a stream, or nesting too deep
    };

    ObjectCopy() = default;

    static ObjectCopy Absent() { return {}; }
    static ObjectCopy Null();
    static ObjectCopy Unsupported();
    static ObjectCopy Boolean(bool value);
    static ObjectCopy Integer(int32_t value);
    static ObjectCopy Real(HFixed value);
    static ObjectCopy Name(std::string text);
    static ObjectCopy String(std::string bytes);
    static ObjectCopy Array(std::vector<ObjectCopy> items);
    static ObjectCopy Dictionary(std::vector<std::pair<std::string, ObjectCopy>> entries);
    static ObjectCopy Page(int32_t index);

    Kind kind() const { return kind_; }
    bool absent() const { return kind_ == Kind::Absent; }
    // False when something inside could not be copied (see above).
    bool complete() const;

    bool boolean() const { return number_ != 0; }
    int32_t integer() const { return static_cast<int32_t>(number_); } // also the page index
    HFixed fixed() const { return static_cast<HFixed>(number_); }
    const std::string& text() const { return text_; } // name text or string bytes
    const std::vector<ObjectCopy>& items() const { return items_; }
    const std::vector<std::pair<std::string, ObjectCopy>>& entries() const { return entries_; }
    // The entry of a dictionary copy, or an Absent copy.
    const ObjectCopy& Get(const std::string& key) const;

    friend bool operator==(const ObjectCopy&, const ObjectCopy&) = default;

private:
    Kind kind_ = Kind::Absent;
    int64_t number_ = 0;
    std::string text_;
    std::vector<ObjectCopy> items_;
    std::vector<std::pair<std::string, ObjectCopy>> entries_;
};

inline constexpr int kMaxCopyDepth = 12;
inline constexpr int kMaxCopyObjects = 10000;

// Copies object (a value from DictGet or ArrayGet) of the document. Host errors are raised.
ObjectCopy CopyObject(HDoc doc, HObject object);

// Makes a direct object equal to the copy in the document. Absent and Unsupported give the null
// object; a page index that the document no longer has gives the null object too.
HObject MakeObject(HDoc doc, const ObjectCopy& copy);

// Puts back a dictionary entry as the copy describes it: an Absent copy removes the key, anything
// else is made with MakeObject and put under the key.
void RestoreEntry(HDoc doc, HObject dict, const std::string& key, const ObjectCopy& copy);

} // namespace tesser::docsettings
