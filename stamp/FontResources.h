// The page resources a stamp's text operators need: the ProcSet names and a Type 1 font.
#pragma once

#include "stamp/PassObjects.h"

#include "hostapi/HostTypes.h"

#include <string>

namespace tesser::stamp {

// Makes the page's ProcSet array name "PDF" and "Text", appending whichever is missing (a page
// without ProcSet gets the direct array [/PDF /Text]); nothing is removed. The whole step runs
// under "Failed to set page text procset"; the array's creation has its own message ("Failed to
// create new array") and also answers false; failures to store the new array or the names show
// their own messages without changing the answer.
//
// With shared objects, a page without ProcSet gets the pass's indirect array [/PDF /Text]
// (made here on first use) instead of a direct array of its own.
bool PrepareProcSet(HPage page, PassObjects* shared = nullptr);

struct FontResource {
    std::string name;     // the resource name for "Tf", e.g. "F1"
    HFont font = nullptr; // for MeasureText
};

// Finds a font resource of the page (inherited ones included) whose BaseFont is fontFace,
// compared byte by byte and case-sensitively ("helvetica" is not "Helvetica"), and that draws
// the stamp's bytes as meant without any change to it: Subtype /Type1, not embedded (no
// FontFile, FontFile2 or FontFile3 in its descriptor), and /Encoding /WinAnsiEncoding (Symbol
// and ZapfDingbats: no /Encoding, their built-in one). A page font is never changed.
// Otherwise adds an indirect font dictionary
//   << /Type /Font /Name /Fn /Subtype /Type1 /BaseFont /<fontFace> /Encoding /WinAnsiEncoding >>
// (no /Encoding for Symbol and ZapfDingbats) under the first name F1, F2, ... F9999 that the
// page's font dictionary does not hold, and looks it up again. Messages: "Failed to enumerate
// page resources", "Failed to choose new font resource name on page" (also when F1..F9999 are
// all taken), "Failed to create new font resource on page".
//
// With shared objects, a dictionary the pass already added under the same name is put on the
// page instead of a new one (fontFace is the same for the whole pass).
bool FindOrAddFontResource(HDoc doc, HPage page, const std::string& fontFace, FontResource& found,
                           PassObjects* shared = nullptr);

} // namespace tesser::stamp
