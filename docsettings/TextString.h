// PDF text strings for the Windows-1252 texts of the settings.
//
// A reader decodes a text string (an information entry, the index file's name, a URI's Base) as
// PDFDocEncoding, or as UTF-16BE when it starts with the byte-order mark FE FF (UTF-8 when it
// starts with EF BB BF). The settings keep Windows-1252 bytes, which agree with PDFDocEncoding only
// for ASCII and most of Latin-1: "€" is 0x80 in Windows-1252 and a bullet in PDFDocEncoding. These
// two functions convert between the forms.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tesser::docsettings {

// The text string a reader shows as the Windows-1252 text:
//   - PDFDocEncoding when every character has a PDFDocEncoding code and the result does not start
//     like a byte-order mark (a text starting "þÿ" would be read as UTF-16);
//   - otherwise UTF-16BE preceded by FE FF. This takes the characters PDFDocEncoding leaves out:
//     the soft hyphen, DEL, the control characters other than tab, line feed and carriage return,
//     and the five bytes Windows-1252 leaves undefined (written as U+0081, U+008D, U+008F, U+0090,
//     U+009D, as the model converts them).
// "Café – 5 €" gives "Caf\xE9 \x85 5 \xA0"; the empty text gives the empty string.
std::string EncodeTextString(std::string_view windows1252);

// The Windows-1252 text of a text string: UTF-16BE after FE FF (surrogate pairs joined), UTF-8
// after EF BB BF, PDFDocEncoding otherwise. Empty when a character has no Windows-1252 form (such
// as a CJK title) or the UTF-16 or UTF-8 is malformed; the caller then keeps the string's bytes
// some other way. Bytes PDFDocEncoding leaves undefined are read as their Latin-1 character, as
// readers do. DecodeTextString(EncodeTextString(t)) == t for every Windows-1252 text t.
std::optional<std::string> DecodeTextString(std::string_view bytes);

} // namespace tesser::docsettings
