// The content stream of one stamp on one page: colour, font, text matrix and one string per line
// of the Tesserion's Text, tested against the page's crop box.
#pragma once

#include "model/Tesserion.h"
#include "stamp/PassObjects.h"
#include "stamp/TextTokens.h"

#include "hostapi/HostTypes.h"

#include <ctime>
#include <string>
#include <string_view>

namespace tesser::stamp {

// The sides of the crop box that stamped text has crossed. Only ever set to true by StampPage;
// the caller clears it.
struct CropOverflow {
    bool Left = false;
    bool Right = false;
    bool Bottom = false;
    bool Top = false;

    bool Any() const { return Left || Right || Bottom || Top; }
};

// A page box in points (the host gives 16.16 fixed point).
struct PageBox {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

PageBox ToPageBox(const HFixedRect& rect);

// What building a stamp's content asks of the page. Every query shows its own failure message
// and answers false; BuildStampContent then goes on building but the content is not used.
class StampSurface {
public:
    virtual ~StampSurface() = default;
    virtual bool PrepareProcSet() = 0;
    // The resource name under which fontFace can be used with "Tf" on this page.
    virtual bool FindOrAddFont(const std::string& fontFace, std::string& resourceName) = 0;
    virtual bool MediaBox(PageBox& box) = 0;
    virtual bool CropBox(PageBox& box) = 0;
    // The width in points of line in the font found by FindOrAddFont.
    virtual bool Measure(std::string_view line, double size, double& width) = 0;
    // The PDF string operand for line, parentheses included.
    virtual std::string Escape(std::string_view line) = 0;
    virtual FieldSource& Fields() = 0;
};

// The line reader: reads one line of text from pos and moves pos past it. A line ends at the
// end of text (not consumed), at CR (with an LF directly after it) or at LF; "<" starts a field
// token expanded by ExpandToken; a backslash takes the next byte literally (a backslash at the
// very end stands for itself). Another line follows while pos < text.size().
std::string ReadLine(std::string_view text, std::size_t& pos, FieldSource& fields,
                     std::time_t runTime, bool& ok);

// The largest coordinate, in points, written into a page: what PDF readers are sure to accept.
inline constexpr double kLargestCoordinate = 32767;

// The content text of the stamp, built in full even after a failure (ok turns false and stays
// false). Lines end in CR LF; every number is written by FormatNumber. For the Text
// "Page <PageNumber>" on the third page, left justified at PosX 72, PosY 36, angle 0, Helvetica
// 12 on 14, black, media box top 792 and resource F1:
//   "0 g \r\nBT\r\n/F1 12 Tf 1 0 0 1 72 756 Tm 0 0 TD (Page 3) Tj 0 -14 TD\r\nET\r\n"
// The first baseline passes through (PosX, media top - PosY); the block turns PosAngle degrees
// counter-clockwise about that point; Center and Right justification shift each line by half or
// all of its own width. Each line's box (0.8 x FontSize high) that crosses a side of the crop box
// strictly sets that side in overflow. A Text that holds a NUL byte ends there. A first baseline
// or a line start (after justification) farther than kLargestCoordinate from the origin on
// either axis fails the stamp with an alert through the field source that names the position.
std::string BuildStampContent(const model::Tesserion& tesserion, StampSurface& surface,
                              std::time_t runTime, CropOverflow& overflow, bool& ok);

// Applies the Tesserion to one acquired page: builds the content with the page's ProcSet and
// font resources prepared, and inserts it (InsertStampContent) when every step succeeded.
// Answers true when the content was inserted and the host told of the change. Resources added
// before a failure stay on the page. shared, when given, holds the objects of the pass that
// this page may reuse (PassObjects).
bool StampPage(const model::Tesserion& tesserion, HDoc doc, HPage page, std::time_t runTime,
               CropOverflow& overflow, PassObjects* shared = nullptr);

} // namespace tesser::stamp
