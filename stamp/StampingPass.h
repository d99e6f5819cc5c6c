// Applying one Tesserion to the selected pages of an open document, and taking it off again.
// These are what the runs (apply, print, undo) call.
#pragma once

#include "model/Tesserion.h"
#include "stamp/ContentStream.h"

#include "hostapi/HostTypes.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tesser::stamp {

// Stamps every page the Tesserion's page selection includes (1-based page numbers), in order.
// The pages share the pass's "q" and "Q" streams and the font dictionary it adds (PassObjects);
// each page gets its own content stream.
//
// A document with security data must grant the change permission (Authorise with bit 8 and an
// empty password); otherwise "The security settings of this document do not allow changes" is
// shown and nothing is touched. A page that cannot be stamped is skipped (its own message was
// shown); failing to acquire or release a page ends the pass. Afterwards, if any stamped line
// crossed the crop box, one ConfirmAlert (CropWarningText) asks whether to continue; Cancel
// makes the answer false and leaves the stamps in place.
//
// Answers false when the document may not be changed, a host step of the pass failed, or the
// user cancelled. runTime (seconds since 1970 UTC) is the one time of the whole run, shown by
// the date and time fields. When outcome is given it tells what happened (below). A host error
// outside the guarded operations throws HostError.
struct StampOutcome {
    bool Refused = false; // the security settings do not allow changes: no page was touched
    // The permission or the page count could not be had (a damaged page tree, a host failure,
    // its message shown): no page was touched.
    bool Unreadable = false;
    bool Cancelled = false; // the user answered Cancel to the crop-box question
    bool Stopped = false;   // a host step ended the pass early (page count, acquiring, releasing)
    std::int32_t Selected = 0; // pages of the document the selection includes
    std::int32_t Stamped = 0;  // pages that received the stamp
    // Pages (1-based) the selection includes that received no stamp: skipped after an error, or
    // not reached after the pass stopped. Unknown (empty) when the page count failed.
    std::vector<std::int32_t> Skipped;
    // Every selected page was stamped and nothing was refused (a Cancel still counts as whole:
    // the stamps are in place).
    bool Whole() const { return !Refused && !Unreadable && !Stopped && Skipped.empty(); }
};
// progress, when given, is called after each selected page with its 1-based number and the
// document's page count, so that a front end can show a long document advancing.
using PageProgress = std::function<void(std::int32_t page, std::int32_t count)>;
bool StampDocument(const model::Tesserion& tesserion, HDoc doc, std::time_t runTime,
                   StampOutcome* outcome = nullptr, const PageProgress& progress = {});

// Takes the Tesserion's stamp off every page its selection includes (RemoveStampContent with
// its Layer), but for the pages in skipped (those a StampDocument pass left without its stamp).
// Correct when the Tesserions of a run are removed in the reverse order of their stamping with
// the same selection and Layer. A failed removal skips the page; failing to get the page count
// or to acquire or release a page ends the pass with false.
// When notRemoved is given it receives the number of pages whose removal failed.
bool UnstampDocument(const model::Tesserion& tesserion, HDoc doc,
                     const std::vector<std::int32_t>& skipped = {},
                     std::int32_t* notRemoved = nullptr);

// The crop-box question for the sides in overflow ("left", "right", "top", "bottom", joined by
// " and "), or an empty text when no side is set.
std::string CropWarningText(const CropOverflow& overflow);

} // namespace tesser::stamp
