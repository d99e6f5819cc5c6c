// The host's atoms: small numbers for names, handed out once per text and never freed. Internal
// to host/.
#pragma once

#include "hostapi/HostTypes.h"

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

namespace tesser::host {

class AtomTable {
public:
    // The atom of the text, made on first use; fails when all 65535 atoms are taken.
    HAtom Atom(const std::string& text);
    // Throw kHErrBadParameter for 0 or an atom never handed out.
    const std::string& Text(HAtom atom) const;
    const std::string& Key(HAtom atom) const; // "/" + the atom's text, as in a PDF name

private:
    std::vector<std::string> texts_{""}; // atom 0 is never valid
    std::deque<std::string> keys_{""};   // a deque keeps references while it grows
    std::unordered_map<std::string, HAtom> atoms_;
};

} // namespace tesser::host
