// Putting a stamp's content stream into a page's "Contents" and taking it off again.
#pragma once

#include "model/Vocabulary.h"

#include "hostapi/HostTypes.h"

#include <string_view>

namespace tesser::stamp {

// Adds three new indirect streams, unfiltered, each with only "Length" in its dictionary: "Q",
// the content text byte for byte (any length), and "q". "Contents" becomes an array:
//   Background: [q, stamp, Q, <previous streams>]
//   Foreground (any Layer other than Background): [q, <previous streams>, Q, stamp]
// then NotifyPageContentsChanged. A page whose "Contents" was one stream S gets [q, S, Q, stamp]
// (Foreground); a page without content [q, Q, stamp].
//
// Every failure shows its host message and answers false. The page is then left as it was: the
// streams already added are taken out and destroyed again and "Contents" gets back its previous
// value, so no page keeps an unbalanced "q".
bool InsertStampContent(HDoc doc, HPage page, std::string_view content, model::Layer layer);

// Takes off the three streams the last InsertStampContent with this Layer added: the "q" at
// index 0, then the stamp and its "Q" (from the front for Background, from the end for
// Foreground), and destroys them; then NotifyPageContentsChanged. "Contents" stays an array of
// the page's previous streams. Stamps come off correctly in the reverse order of their
// insertion.
//
// Before changing anything it checks that the streams in those places are a stamp's "q" and
// "Q"; if not (the stamp never made it onto this page, or something else changed "Contents"),
// it shows "The stamp to remove is not on this page; its contents were left unchanged" and
// answers false without touching the page.
bool RemoveStampContent(HPage page, model::Layer layer);

} // namespace tesser::stamp
