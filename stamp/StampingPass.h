// Applying one Tesserion to the selected pages of an open document, and taking it off again.
// These are what the runs (apply, print, undo) call.
#pragma once

#include "model/Tesserion.h"
#include "stamp/ContentStream.h"

#include "hostapi/HostTypes.h"

#include <ctime>
#include <string>

namespace tesser::stamp {

// Stamps every page the Tesserion's page selection includes (1-based page numbers), in order.
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
// the date and time fields. When cancelled is given it tells whether the answer came from the
// user's Cancel at the crop-box question (the only false answer that is the user's choice). A
// host error outside the guarded operations throws HostError.
bool StampDocument(const model::Tesserion& tesserion, HDoc doc, std::time_t runTime,
                   bool* cancelled = nullptr);

// Takes the Tesserion's stamp off every page its selection includes (RemoveStampContent with
// its Layer). Correct when the Tesserions of a run are removed in the reverse order of their
// stamping with the same selection and Layer. A failed removal skips the page; failing to get
// the page count or to acquire or release a page ends the pass with false.
bool UnstampDocument(const model::Tesserion& tesserion, HDoc doc);

// The crop-box question for the sides in overflow ("left", "right", "top", "bottom", joined by
// " and "), or an empty text when no side is set.
std::string CropWarningText(const CropOverflow& overflow);

} // namespace tesser::stamp
