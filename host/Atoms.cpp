#include "host/Atoms.h"

#include "host/HostError.h"

namespace tesser::host {

HAtom AtomTable::Atom(const std::string& text) {
    auto it = atoms_.find(text);
    if (it != atoms_.end()) {
        return it->second;
    }
    if (texts_.size() > 0xFFFF) {
        Fail("The host has no room for another atom.");
    }
    HAtom atom = static_cast<HAtom>(texts_.size());
    texts_.push_back(text);
    keys_.push_back("/" + text);
    atoms_.emplace(text, atom);
    return atom;
}

const std::string& AtomTable::Text(HAtom atom) const {
    if (atom == 0 || atom >= texts_.size()) {
        throw HostException(kHErrBadParameter, "Unknown atom " + std::to_string(atom) + ".");
    }
    return texts_[atom];
}

const std::string& AtomTable::Key(HAtom atom) const {
    Text(atom); // refuses an unknown atom
    return keys_[atom];
}

} // namespace tesser::host
