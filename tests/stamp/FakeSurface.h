// A page surface without a host, for the unit tests of the content builder: fixed boxes, a
// width table, the identity translation, and a recorder of alerts.
#pragma once

#include "stamp/ContentStream.h"
#include "stamp/PdfString.h"
#include "stamp/TextMeasure.h"

#include <string>
#include <vector>

namespace tesser::stamp::test {

class FakeFields : public FieldSource {
public:
    std::int64_t pageNumber = 1;
    std::int64_t pageCount = 1;
    bool failPageNumber = false;
    bool failPageCount = false;
    int pageNumberCalls = 0;
    int pageCountCalls = 0;
    std::vector<std::string> alerts;

    bool PageNumber(std::int64_t& number) override {
        ++pageNumberCalls;
        if (failPageNumber) {
            alerts.push_back("Failed to get page number");
            return false;
        }
        number = pageNumber;
        return true;
    }
    bool PageCount(std::int64_t& count) override {
        ++pageCountCalls;
        if (failPageCount) {
            alerts.push_back("Failed to get number of pages");
            return false;
        }
        count = pageCount;
        return true;
    }
    void Alert(const std::string& message) override { alerts.push_back(message); }
};

class FakeSurface : public StampSurface {
public:
    FakeSurface() { widths.fill(500); }

    PageBox media{0, 792, 612, 0};
    PageBox crop{0, 792, 612, 0};
    std::string resourceName = "F1";
    GlyphWidths widths{};
    bool failProcSet = false;
    bool failFont = false;
    bool failMedia = false;
    bool failCrop = false;
    int measureCalls = 0;
    int cropCalls = 0;
    FakeFields fields;

    bool PrepareProcSet() override { return !failProcSet; }
    bool FindOrAddFont(const std::string&, std::string& name) override {
        if (failFont) {
            return false;
        }
        name = resourceName;
        return true;
    }
    bool MediaBox(PageBox& box) override {
        box = media;
        return !failMedia;
    }
    bool CropBox(PageBox& box) override {
        ++cropCalls;
        box = crop;
        return !failCrop;
    }
    bool Measure(std::string_view line, double size, double& width) override {
        ++measureCalls;
        width = MeasureWithWidths(line, widths, size, 0);
        return true;
    }
    std::string Escape(std::string_view line) override { return EscapePdfLiteral(line); }
    FieldSource& Fields() override { return fields; }
};

} // namespace tesser::stamp::test
