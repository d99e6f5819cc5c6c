// Document information entries, the search index and the base URL of one open document.
//
// ApplyInfo writes the checked items of an InfoSettings record; CaptureInfo records, in a copy of
// the same record, what the document holds now, so that "Undo" can give it back by calling
// ApplyInfo with the copy. Host calls are made directly: a host error ends the operation with
// hostcalls::HostError and whatever was written before stays in the document.
#pragma once

#include "docsettings/ObjectCopy.h"
#include "hostapi/HostTypes.h"

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tesser::docsettings {

// The catalogue's search index as it was before a run: whether Search and its Indexes existed and
// element 0 of Indexes (Absent when the array was empty).
struct IndexSnapshot {
    bool hadSearch = false;
    bool hadIndexes = false;
    ObjectCopy firstEntry;
    friend bool operator==(const IndexSnapshot&, const IndexSnapshot&) = default;
};

// The catalogue's URI dictionary as it was: whether it existed and its Base entry.
struct BaseURLSnapshot {
    bool hadURI = false;
    ObjectCopy base;
    friend bool operator==(const BaseURLSnapshot&, const BaseURLSnapshot&) = default;
};

// The information dictionary as it was before a run: whether the document had one, and the
// entries Title, Subject, Author and Keywords (Absent copies for missing entries and for items
// that were not captured).
struct InfoSnapshot {
    bool hadInfo = false;
    std::array<ObjectCopy, 4> entries;
    friend bool operator==(const InfoSnapshot&, const InfoSnapshot&) = default;
};

// The Info page's settings. Texts are Windows-1252 bytes; they reach the document as PDF text
// strings (TextString.h), nothing escaped or trimmed, and an index path keeps the form the user
// gave it.
struct InfoSettings {
    bool SetTitle = false;
    bool SetSubject = false;
    bool SetAuthor = false;
    bool SetKeywords = false;
    bool SetIndex = false;
    bool SetBaseURL = false;
    std::string Title;
    std::string Subject;
    std::string Author;
    std::string Keywords;
    std::string IndexFile;
    std::string BaseURL;

    // Capture only. When set, ApplyInfo puts the checked information entries and these
    // catalogue entries back exactly as they were instead of writing the texts.
    std::optional<InfoSnapshot> PreviousInfo;
    std::optional<IndexSnapshot> PreviousIndex;
    std::optional<BaseURLSnapshot> PreviousBaseURL;

    bool operator==(const InfoSettings&) const = default;
};

// How much of an information entry CaptureInfo reads back; longer values are cut here.
inline constexpr std::size_t kInfoCaptureLimit = 1u << 20;

// Writes the checked items, in this order:
//   - Title, Subject, Author, Keywords: the information entry holds the text as a text string,
//     EncodeTextString (an empty text gives an empty string, the entry is not removed);
//   - SetIndex: the catalogue's Search dictionary and its Indexes array are made when missing,
//     and element 0 of Indexes becomes << /Name /PDX /Index << /Type /FileSpec /F (IndexFile) >>
//     >>, replacing the element that was there; other elements and entries stay. Applying twice
//     leaves one such entry. F holds IndexFile as a text string.
//   - SetBaseURL: the catalogue's URI dictionary is made when missing and its Base becomes
//     BaseURL as a text string; its other entries stay.
// With no item checked the document is not touched. A captured record (PreviousInfo,
// PreviousIndex, PreviousBaseURL) restores those entries instead: an information entry that was
// absent is removed again (an empty one comes back empty), an information dictionary the document
// did not have is taken out again when nothing else was put into it, what ApplyInfo had made in
// the catalogue is removed again and a replaced element 0 or Base comes back.
void ApplyInfo(const InfoSettings& settings, HDoc doc);

// For each checked item, replaces its text by the document's present value: the information
// entries read back up to kInfoCaptureLimit bytes (an absent entry gives the empty text); the
// index path is the F string of the present first index entry (empty when there is none) and the
// base URL the present URI Base string, each decoded with DecodeTextString (a string Windows-1252
// cannot hold keeps its bytes in the text). Also fills PreviousInfo when any of the four
// information items is checked, and PreviousIndex and PreviousBaseURL for the checked index and
// base-URL items; these keep the entries exactly, so undo gives back the bytes the document had.
// The six flags are left as they are.
void CaptureInfo(InfoSettings& settings, HDoc doc);

// The texts of the Info page by item, for the conversion entry points below.
enum class InfoItem { Title, Subject, Author, Keywords, IndexFile, BaseURL };
// "Title", "Subject", "Author", "Keywords", "Index file", "Base URL".
std::string_view InfoItemLabel(InfoItem item);

// Refused user input at the edge (UI, command line): what() says which field and why.
class SettingsTextError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Sets an item's text from UTF-8 input, converted to Windows-1252. Throws SettingsTextError
// ("Title: The character U+4E2D “中” has no Windows-1252 form") when the text has a character
// with no Windows-1252 form or is not valid UTF-8; the settings are then unchanged.
void SetInfoTextFromUtf8(InfoSettings& settings, InfoItem item, std::string_view utf8);
// The item's text as UTF-8, for display.
std::string InfoTextToUtf8(const InfoSettings& settings, InfoItem item);

} // namespace tesser::docsettings
