// Text between the pages' widgets (QString, UTF-8) and the records they edit (Windows-1252 bytes),
// and the message box the pages show for what the user typed.
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace tesser::dialog {

// Object name of the message boxes the pages show, so that tests and accessibility tools find
// them.
inline constexpr const char* kPageMessageName = "pageMessage";

// The display form of record bytes; never fails.
QString FromRecord(std::string_view bytes);

// The Windows-1252 form of text, or nullopt when a character has none.
std::optional<std::string> TryToRecord(const QString& text);

// The Windows-1252 form of text. A character with no Windows-1252 form is refused: the user is
// told which character and which field (field: its caption, e.g. "Title"), with the message box
// owned by parent, and nullopt is returned.
std::optional<std::string> ToRecord(const QString& text, const QString& field, QWidget* parent);

// A modal message box titled "Tesser Pro" with the error icon and "OK".
void ShowPageMessage(QWidget* parent, const QString& text);

// Line breaks of a multi-line field as the records keep them: every CR LF, lone CR, lone LF and
// Unicode line or paragraph separator becomes CR LF.
QString ToRecordLineBreaks(const QString& text);
// And back for display: CR LF and lone CR become LF.
QString ToDisplayLineBreaks(const QString& text);

} // namespace tesser::dialog
