// The objects that one stamping pass makes once for a document and puts on every page it
// stamps, instead of one copy per page.
#pragma once

#include "hostapi/HostTypes.h"

#include <map>
#include <optional>
#include <set>
#include <string>

namespace tesser::stamp {

// Every one of them is the same on every page that gets it. Filled as the pass goes: the first page
// that needs an object makes it, the later pages reuse it. Handles of indirect objects live as long
// as the document, so they stay valid from page to page.
//
// Each pass has its own "q" and "Q" streams: a removal finds a stamp's "Q" by value in the
// page's "Contents", and on one page every stamp's "Q" is then a different object, so the one
// found is the one at the stamp's place. Removal takes these two streams off the page and leaves
// the objects alone (other pages still show them); a full save drops them once no page does.
struct PassObjects {
    HObject Save = nullptr;    // the stream "q"
    HObject Restore = nullptr; // the stream "Q"
    HObject ProcSet = nullptr; // the indirect array [/PDF /Text] for pages without a ProcSet
    // The font dictionaries the pass added, by resource name: a page whose first free name is
    // the same gets the same dictionary. Font resources are never removed.
    std::map<std::string, HObject> Fonts;
    // The object numbers of the indirect "Contents" arrays that more than one page of the
    // document names; found by one walk over the pages the first time a page with an indirect
    // array is stamped.
    std::optional<std::set<int32_t>> SharedContents;
    // The field alerts the pass has shown: each is shown once, not once per page.
    std::set<std::string> Alerted;
};

} // namespace tesser::stamp
