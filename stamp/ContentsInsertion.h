// Putting a stamp's content stream into a page's "Contents" and taking it off again.
#pragma once

#include "model/Vocabulary.h"
#include "stamp/PassObjects.h"

#include "hostapi/HostTypes.h"

#include <string_view>

namespace tesser::stamp {

// Adds three indirect streams, unfiltered, each with only "Length" in its dictionary: "Q", the
// content text byte for byte (any length), and "q". Without shared objects all three are new;
// with them the "q" and "Q" are the pass's (made here on first use), and only the content stream
// is new. "Contents" becomes an array:
//   Background: [q, stamp, Q, <previous streams>]
//   Foreground (any Layer other than Background): [q, <previous streams>, Q, stamp]
// then NotifyPageContentsChanged. A page whose "Contents" was one stream S gets [q, S, Q, stamp]
// (Foreground); a page without content [q, Q, stamp].
//
// Every failure shows its host message and answers false. The page is then left as it was: the
// streams already added are taken out ("Contents" gets back its previous value, so no page keeps
// an unbalanced "q"), and the new ones other than the shared are destroyed.
bool InsertStampContent(HDoc doc, HPage page, std::string_view content, model::Layer layer,
                        PassObjects* shared = nullptr);

// Takes off the three streams the last InsertStampContent with this Layer added: the "q" at
// index 0, then the stamp and its "Q" (from the front for Background, from the end for
// Foreground), each removed from "Contents" by value (its first occurrence); then
// NotifyPageContentsChanged. Only the stamp's own stream is destroyed: the "q" and "Q" may be
// shared with other pages (PassObjects). "Contents" stays an array of the page's previous
// streams. Stamps come off correctly in the reverse order of their insertion.
//
// Before changing anything it checks that the streams in those places are a stamp's "q" and
// "Q"; if not (the stamp never made it onto this page, or something else changed "Contents"),
// it shows "The stamp to remove is not on this page; its contents were left unchanged" and
// answers false without touching the page.
bool RemoveStampContent(HPage page, model::Layer layer);

} // namespace tesser::stamp
