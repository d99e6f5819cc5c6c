#include "model/TesserionList.h"

namespace tesser::model {

const Tesserion* TesserionList::Find(std::string_view name) const {
    const auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : &it->second;
}

bool TesserionList::Insert(const Tesserion& tesserion) {
    return entries_.try_emplace(tesserion.Name, tesserion).second;
}

void TesserionList::InsertOrReplace(const Tesserion& tesserion) {
    entries_.insert_or_assign(tesserion.Name, tesserion);
}

bool TesserionList::Erase(std::string_view name) {
    const auto it = entries_.find(name);
    if (it == entries_.end()) {
        return false;
    }
    entries_.erase(it);
    return true;
}

} // namespace tesser::model
