#include "stamp/ContentStream.h"

#include "hostcalls/Guarded.h"
#include "model/NumberText.h"
#include "stamp/ContentsInsertion.h"
#include "stamp/FontResources.h"
#include "stamp/PdfString.h"
#include "stamp/TextMeasure.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tesser::stamp {

using model::FormatNumber;

PageBox ToPageBox(const HFixedRect& rect) {
    return PageBox{rect.left / 65536.0, rect.top / 65536.0, rect.right / 65536.0,
                   rect.bottom / 65536.0};
}

std::string ReadLine(std::string_view text, std::size_t& pos, FieldSource& fields,
                     std::time_t runTime, bool& ok) {
    std::string line;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '\r') {
            ++pos;
            if (pos < text.size() && text[pos] == '\n') {
                ++pos;
            }
            break;
        }
        if (c == '\n') {
            ++pos;
            break;
        }
        ++pos;
        if (c == '<') {
            line += ExpandToken(text, pos, fields, runTime, ok);
        } else if (c == '\\' && pos < text.size()) {
            line.push_back(text[pos++]);
        } else {
            line.push_back(c);
        }
    }
    return line;
}

namespace {

void AppendColour(std::string& out, const model::Tesserion& t) {
    const auto& v = t.ColorValues;
    switch (t.ColorSpace) {
    case model::ColorSpace::Gray:
        out += FormatNumber(v[3]) + " g ";
        break;
    case model::ColorSpace::RGB:
        out += FormatNumber(v[0]) + " " + FormatNumber(v[1]) + " " + FormatNumber(v[2]) + " rg ";
        break;
    case model::ColorSpace::CMYK:
        out += FormatNumber(v[0]) + " " + FormatNumber(v[1]) + " " + FormatNumber(v[2]) + " " +
               FormatNumber(v[3]) + " k ";
        break;
    }
}

bool WithinReadersLimits(double x, double y) {
    return std::fabs(x) <= kLargestCoordinate && std::fabs(y) <= kLargestCoordinate;
}

std::string Shortest(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, end.ptr);
}

std::string OutOfRangeText(double x, double y) {
    return "The text cannot be placed at x = " + Shortest(x) + ", y = " + Shortest(y) +
           " points: PDF readers accept coordinates from -32767 to 32767 only";
}

void TestCrop(StampSurface& surface, double x, double y, double shift, double width,
              double fontSize, double cosA, double sinA, CropOverflow& overflow, bool& ok) {
    const double h = 0.8 * fontSize;
    const double p0x = x - shift * cosA;
    const double p0y = y - shift * sinA;
    const double p1x = p0x - h * sinA;
    const double p1y = p0y + h * cosA;
    const double p2x = p0x + width * cosA;
    const double p2y = p0y + width * sinA;
    const double p3x = p1x + width * cosA;
    const double p3y = p1y + width * sinA;

    PageBox crop;
    if (!surface.CropBox(crop)) {
        ok = false;
        return;
    }
    const double minX = std::min({p0x, p1x, p2x, p3x});
    const double maxX = std::max({p0x, p1x, p2x, p3x});
    const double minY = std::min({p0y, p1y, p2y, p3y});
    const double maxY = std::max({p0y, p1y, p2y, p3y});
    if (minX < crop.left) {
        overflow.Left = true;
    }
    if (maxX > crop.right) {
        overflow.Right = true;
    }
    if (minY < crop.bottom) {
        overflow.Bottom = true;
    }
    if (maxY > crop.top) {
        overflow.Top = true;
    }
}

} // namespace

std::string BuildStampContent(const model::Tesserion& t, StampSurface& surface, std::time_t runTime,
                              CropOverflow& overflow, bool& ok) {
    std::string out;
    AppendColour(out, t);
    out += "\r\nBT\r\n";

    std::string resourceName;
    if (!surface.PrepareProcSet()) {
        ok = false;
    } else if (!surface.FindOrAddFont(t.FontFace, resourceName)) {
        ok = false;
    }
    out += "/" + resourceName + " " + FormatNumber(t.FontSize) + " Tf ";

    double x = t.PosX;
    double y = -t.PosY;
    if (ok) {
        PageBox media;
        if (surface.MediaBox(media)) {
            y = media.top - t.PosY;
        } else {
            ok = false;
        }
    }

    if (ok && !WithinReadersLimits(x, y)) {
        ok = false;
        surface.Fields().Alert(OutOfRangeText(x, y));
    }

    const double a = t.PosAngle * 0.017453292519943295;
    const double cosA = std::cos(a);
    const double sinA = std::sin(a);
    out += FormatNumber(cosA) + " " + FormatNumber(sinA) + " " + FormatNumber(-sinA) + " " +
           FormatNumber(cosA) + " " + FormatNumber(x) + " " + FormatNumber(y) + " Tm ";

    // The Text ends at a NUL byte, as it always has for the stored record.
    std::string_view text = t.Text;
    text = text.substr(0, text.find('\0'));
    if (!text.empty()) {
        std::size_t pos = 0;
        do {
            const std::string line = ReadLine(text, pos, surface.Fields(), runTime, ok);
            double width = 0;
            if (ok && !surface.Measure(line, t.FontSize, width)) {
                ok = false;
                width = 0;
            }
            double shift = 0;
            if (t.JustifyH == model::JustifyH::Left) {
                shift = 0;
            } else if (t.JustifyH == model::JustifyH::Center) {
                shift = width * 0.5;
            } else {
                shift = width;
            }
            if (ok && std::fabs(shift) > kLargestCoordinate) {
                ok = false;
                surface.Fields().Alert(OutOfRangeText(x - shift * cosA, y - shift * sinA));
            }
            out += FormatNumber(-shift) + " 0 TD " + surface.Escape(line) + " Tj " +
                   FormatNumber(shift) + " " + FormatNumber(-t.FontLeading) + " TD\r\n";
            if (ok) {
                TestCrop(surface, x, y, shift, width, t.FontSize, cosA, sinA, overflow, ok);
            }
            x += t.FontLeading * sinA;
            y -= t.FontLeading * cosA;
        } while (pos < text.size());
    }
    out += "ET\r\n";
    return out;
}

namespace {

class HostStampSurface final : public StampSurface {
public:
    HostStampSurface(HDoc doc, HPage page, PassObjects* shared)
        : doc_(doc), page_(page), shared_(shared),
          fields_(doc, page, shared != nullptr ? &shared->Alerted : nullptr) {}

    bool PrepareProcSet() override { return stamp::PrepareProcSet(page_, shared_); }

    bool FindOrAddFont(const std::string& fontFace, std::string& resourceName) override {
        FontResource found;
        if (!FindOrAddFontResource(doc_, page_, fontFace, found, shared_)) {
            return false;
        }
        resourceName = found.name;
        font_ = found.font;
        return true;
    }

    bool MediaBox(PageBox& box) override {
        HFixedRect rect{};
        if (!hostcalls::guarded::GetPageMediaBox(page_, rect)) {
            return false;
        }
        box = ToPageBox(rect);
        return true;
    }

    bool CropBox(PageBox& box) override {
        HFixedRect rect{};
        if (!hostcalls::guarded::GetPageCropBox(page_, rect)) {
            return false;
        }
        box = ToPageBox(rect);
        return true;
    }

    bool Measure(std::string_view line, double size, double& width) override {
        return MeasureText(line, font_, size, 0, width);
    }

    std::string Escape(std::string_view line) override { return EscapePdfString(line); }

    FieldSource& Fields() override { return fields_; }

private:
    HDoc doc_;
    HPage page_;
    PassObjects* shared_;
    HFont font_ = nullptr;
    HostFieldSource fields_;
};

} // namespace

bool StampPage(const model::Tesserion& tesserion, HDoc doc, HPage page, std::time_t runTime,
               CropOverflow& overflow, PassObjects* shared) {
    HostStampSurface surface(doc, page, shared);
    bool ok = true;
    const std::string content = BuildStampContent(tesserion, surface, runTime, overflow, ok);
    if (!ok) {
        return false;
    }
    return InsertStampContent(doc, page, content, tesserion.Layer, shared);
}

} // namespace tesser::stamp
