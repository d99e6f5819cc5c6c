// Writes a PDF of N pages, each with its own small content stream and a shared font, the
// shape of a long scanned-and-OCRed or generated report.
//
//     make_pages N OUT.pdf
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PAGES OUT.pdf\n", argv[0]);
        return 64;
    }
    int pages = std::atoi(argv[1]);
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFObjectHandle resources = QPDFObjectHandle::parse("<< /Font << >> >>");
    resources.getKey("/Font").replaceKey("/F1", font);
    QPDFPageDocumentHelper helper(pdf);
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 612 792] >>"));
        page.replaceKey("/Resources", resources);
        std::string text;
        for (int line = 0; line < 20; ++line) {
            text += "BT /F1 10 Tf 72 " + std::to_string(720 - 14 * line) + " Td (Page " +
                    std::to_string(i + 1) + " line " + std::to_string(line) +
                    " of a generated report) Tj ET\n";
        }
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, text));
        helper.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, argv[2]);
    writer.setStaticID(true);
    writer.write();
    return 0;
}
