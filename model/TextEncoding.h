// Conversion between UTF-8 (the terminal, the desktop, file names) and Windows-1252 (the model,
// the profile and PDF strings).
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tesser::model {

// Thrown by Utf8ToWindows1252 when the text cannot be converted; what() is a message for the
// user, e.g. "The character U+4E2D “中” has no Windows-1252 form".
class TextEncodingError : public std::runtime_error {
public:
    TextEncodingError(const std::string& message, char32_t codePoint, std::size_t offset)
        : std::runtime_error(message), codePoint_(codePoint), offset_(offset) {}
    // The character refused, or 0 when the text is not valid UTF-8.
    char32_t CodePoint() const { return codePoint_; }
    // Byte offset of the offending sequence in the UTF-8 input.
    std::size_t Offset() const { return offset_; }

private:
    char32_t codePoint_;
    std::size_t offset_;
};

// Converts UTF-8 text to Windows-1252 bytes. The five code points U+0081, U+008D, U+008F,
// U+0090 and U+009D give the five bytes Windows-1252 leaves undefined, so that
// Windows1252ToUtf8 followed by this gives back any byte string unchanged. Throws
// TextEncodingError for a character with no Windows-1252 form (never dropped or replaced) and for
// text that is not valid UTF-8 ("The text is not valid UTF-8 at byte N").
std::string Utf8ToWindows1252(std::string_view utf8);

// One UTF-8 sequence at the start of text, strictly (no overlong forms, no surrogates, nothing
// beyond U+10FFFF); nothing for a stray or cut sequence or an empty text.
struct Utf8Sequence {
    char32_t CodePoint;
    std::size_t Length;
};
std::optional<Utf8Sequence> DecodeUtf8(std::string_view text);

// Converts Windows-1252 bytes to UTF-8 for display. Never fails: the five undefined bytes 0x81,
// 0x8D, 0x8F, 0x90 and 0x9D become U+0081, U+008D, U+008F, U+0090 and U+009D.
std::string Windows1252ToUtf8(std::string_view bytes);

} // namespace tesser::model
