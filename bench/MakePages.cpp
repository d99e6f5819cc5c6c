// Writes a PDF of N pages, each with its own compressed content stream and one font shared by
// every page.
//
//     make_pages [--report] N OUT.pdf
//
// Without --report: twenty short lines a page in Helvetica, the font the benchmark's stamp uses,
// so stamping finds it on the page and adds no font.
//
// --report: the shape of a long generated report, what a new user is likely to stamp. Every page
// is US Letter with forty lines of varied body text in Times-Roman; the stamp's Helvetica is not
// on the page, so stamping adds a font resource to every page. 10,000 pages make a file of about
// 6.8 MB.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Body text of a generated report: each line one of a few sentences of a report, now and then
// with a figure after it, drawn by a fixed generator so that every run writes the same file.
class Prose {
public:
    std::string Line() {
        static const char* const kSentences[] = {
            "Revenue for the quarter rose against the same period last year",
            "Operating costs in the region remained within the planned budget",
            "Customer service figures are stated below for each of the offices",
            "Deliveries were made on time as planned in the annual review",
            "The supply of parts was lower than expected during the period",
            "Net margin improved after the review of the delivery systems",
            "Staff levels in the project teams stayed at the planned target"};
        std::string line = kSentences[Next() % (sizeof kSentences / sizeof kSentences[0])];
        if (Next() % 16 == 0) {
            line += " (" + std::to_string(Next() % 100) + ")";
        }
        return line;
    }

private:
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    std::uint32_t state_ = 2463534242u;
};

std::string SimplePage(int page) {
    std::string text;
    for (int line = 0; line < 20; ++line) {
        text += "BT /F1 10 Tf 72 " + std::to_string(720 - 14 * line) + " Td (Page " +
                std::to_string(page) + " line " + std::to_string(line) +
                " of a generated report) Tj ET\n";
    }
    return text;
}

std::string ReportPage(int page, Prose& prose) {
    std::string text = "BT\n/F1 10 Tf 12 TL 72 740 Td\n";
    for (int line = 0; line < 40; ++line) {
        text += "(" + prose.Line() + ") '\n";
    }
    text += "/F1 9 Tf 0 -12 Td (Report page " + std::to_string(page) + ") Tj\nET\n";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const bool report = argc == 4 && std::strcmp(argv[1], "--report") == 0;
    if (argc != 3 && !report) {
        std::fprintf(stderr, "usage: %s [--report] PAGES OUT.pdf\n", argv[0]);
        return 64;
    }
    const int pages = std::atoi(argv[report ? 2 : 1]);
    const char* out = argv[report ? 3 : 2];
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(
        QPDFObjectHandle::parse(report ? "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman "
                                         "/Encoding /WinAnsiEncoding >>"
                                       : "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica "
                                         "/Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper helper(pdf);
    Prose prose;
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
        QPDFObjectHandle resources = QPDFObjectHandle::parse("<< /Font << >> >>");
        resources.getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Resources", resources);
        const std::string text = report ? ReportPage(i + 1, prose) : SimplePage(i + 1);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, text));
        helper.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, out);
    writer.setStaticID(true);
    writer.write();
    return 0;
}
