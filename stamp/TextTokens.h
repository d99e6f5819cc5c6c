// Field tokens in a Tesserion's Text: <PageNumber>, <PageCount>, <Date>, <Time>, <DateUTC>,
// <TimeUTC>, each with an optional format after a colon, e.g. <PageNumber:10> or
// <Date:%d %B %Y>.
#pragma once

#include "hostapi/HostTypes.h"

#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <string_view>

namespace tesser::stamp {

// Where the page-dependent fields come from. Each query shows its own failure message and
// answers false.
class FieldSource {
public:
    virtual ~FieldSource() = default;
    virtual bool PageNumber(std::int64_t& number) = 0; // 1 for the first page
    virtual bool PageCount(std::int64_t& count) = 0;
    virtual void Alert(const std::string& message) = 0;
};

// The fields of one page of an open document, asked from the host through the guarded
// operations ("Failed to get page number", "Failed to get number of pages"); alerts go to the
// host's ShowAlert, each text once into shown when it is given (a pass over the pages shows a
// message once, not once per page).
class HostFieldSource final : public FieldSource {
public:
    HostFieldSource(HDoc doc, HPage page, std::set<std::string>* shown = nullptr)
        : doc_(doc), page_(page), shown_(shown) {}
    bool PageNumber(std::int64_t& number) override;
    bool PageCount(std::int64_t& count) override;
    void Alert(const std::string& message) override;

private:
    HDoc doc_;
    HPage page_;
    std::set<std::string>* shown_;
};

// Expands the token whose name starts at text[pos] (just after its "<") and moves pos past it.
//
// The name runs to ":", ">", CR or LF (consumed) or the end of text (not consumed). After ":"
// the format runs to ">", CR or LF (consumed) or the end; a backslash takes the next byte
// literally ("\>" puts ">" into the format), a backslash at the very end stands for itself.
// Names are case-sensitive; any other name expands to nothing.
//
// PageNumber and PageCount: the number, plus the format when the whole format reads as a decimal
// integer (optional leading white space and sign); otherwise the format is ignored. The host is
// asked only while ok is true; a failure sets ok to false.
//
// Date, Time, DateUTC, TimeUTC: runTime (seconds since 1970 UTC) broken down as local time, or as
// UTC for the names ending in "UTC", formatted with strftime in the current locale (format
// default "%x" for Date, "%X" for Time) and converted from the locale's character set to
// Windows-1252. An empty result, or one of 1000 bytes or more, shows "Time value too long"; a
// run time that cannot be broken down as UTC shows "Coordinated Universal Time is not
// available"; a character without a Windows-1252 form shows a message naming the field. Each of
// these sets ok to false and expands to nothing.
std::string ExpandToken(std::string_view text, std::size_t& pos, FieldSource& fields,
                        std::time_t runTime, bool& ok);

// Converts bytes in the named character set (as iconv names it) to Windows-1252. Answers false
// when a character has no Windows-1252 form or the bytes are not valid in that set.
bool ConvertToWindows1252(std::string_view bytes, const char* charset, std::string& out);

} // namespace tesser::stamp
