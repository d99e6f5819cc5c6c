// The named Tesserions, ordered by ascending byte-wise comparison of their names.
#pragma once

#include "model/Tesserion.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace tesser::model {

// Names are compared case-sensitively, byte by byte as unsigned bytes ("B" < "a", "T10" < "T2").
// Each entry's Name equals its key: entries are reached read-only, and replaced as a whole.
class TesserionList {
public:
    using Map = std::map<std::string, Tesserion, std::less<>>;
    using const_iterator = Map::const_iterator;

    // The entry named name, or nullptr.
    const Tesserion* Find(std::string_view name) const;
    bool Contains(std::string_view name) const { return Find(name) != nullptr; }

    // Adds tesserion under its Name. An entry already present under that Name stays unchanged
    // and false is returned.
    bool Insert(const Tesserion& tesserion);
    // Adds tesserion under its Name, replacing an entry of that Name.
    void InsertOrReplace(const Tesserion& tesserion);
    // Removes the entry named name; false when there was none.
    bool Erase(std::string_view name);
    void Clear() { entries_.clear(); }

    std::size_t Count() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }

    // Walks the entries in Name order; the iterator's value is (Name, Tesserion).
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

    bool operator==(const TesserionList&) const = default;

private:
    Map entries_;
};

} // namespace tesser::model
