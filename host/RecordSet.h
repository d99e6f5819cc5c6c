// Records the host hands out as handles (documents, pages, views, paths, streams), owned by the
// host. A handle is its record's address; Contains tells a live record from a stale or foreign
// address without touching it. Internal to host/.
#pragma once

#include <cstddef>
#include <map>
#include <memory>

namespace tesser::host {

template <typename Rec> class RecordSet {
public:
    // Takes the record over; it lives until Erase or until the set goes.
    Rec* Add(std::unique_ptr<Rec> rec) {
        Rec* raw = rec.get();
        records_.emplace(raw, std::move(rec));
        return raw;
    }
    bool Contains(const Rec* rec) const { return records_.count(rec) != 0; }
    // Destroys the record; nothing happens for one the set does not hold.
    void Erase(const Rec* rec) { records_.erase(rec); }
    // Destroys every record for which drop(record) answers true.
    template <typename Predicate> void EraseIf(Predicate drop) {
        for (auto it = records_.begin(); it != records_.end();) {
            it = drop(*it->second) ? records_.erase(it) : std::next(it);
        }
    }
    // True when pred(record) holds for some record of the set.
    template <typename Predicate> bool AnyOf(Predicate pred) const {
        for (const auto& entry : records_) {
            if (pred(*entry.second)) {
                return true;
            }
        }
        return false;
    }
    void Clear() { records_.clear(); }
    bool Empty() const { return records_.empty(); }
    size_t Size() const { return records_.size(); }
    // Some record of the set, or null when it is empty.
    Rec* Any() const { return records_.empty() ? nullptr : records_.begin()->second.get(); }

private:
    std::map<const Rec*, std::unique_ptr<Rec>> records_;
};

} // namespace tesser::host
