// Fixture PDFs written from text, and a host session over them for the integration tests.
#pragma once

#include "host/Host.h"
#include "model/Tesserion.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tesser::stamp::test {

// SharedArray: one indirect array of the streams, named by every page of this form (the streams
// of the first such page).
enum class ContentsForm { None, Single, Array, SharedArray };

struct PageSpec {
    ContentsForm form = ContentsForm::Single;
    std::vector<std::string> streams = {""}; // one per content stream
    // resource name, BaseFont (further entries of the font dictionary may follow it:
    // "Helvetica /Encoding /MacRomanEncoding")
    std::vector<std::pair<std::string, std::string>> fonts;
    std::string procSet; // e.g. "[/PDF /ImageB]"; empty: none
    std::string mediaBox = "[0 0 612 792]";
    std::string cropBox; // empty: none
};

// A complete PDF with a correct cross-reference table: catalogue, one page tree, the pages with
// their content streams and indirect Type 1 fonts (no Encoding).
std::string MakePdf(const std::vector<PageSpec>& pages);

// count US Letter pages with one empty content stream each.
std::string MakeLetterPdf(int count);

// One host, its recorder connected as the plug-in's host, for one test.
class HostSession {
public:
    HostSession();
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Opens path; fails the test (ADD_FAILURE) and answers null when the host refuses.
    HDoc Open(const std::filesystem::path& path);
    // Saves the document to path (a full rewrite) and closes it.
    void SaveAndClose(HDoc doc, const std::filesystem::path& path);
    void Close(HDoc doc);

    // The texts of all messages so far (alerts and confirmations).
    std::vector<std::string> Messages() const;
    // How many messages had exactly this text.
    int Count(const std::string& text) const;
    void Clear() { sink.messages.clear(); }

    host::Host host;
    host::RecordingSink sink;
};

// What qpdf reads back from a written file.
struct PdfPage {
    int object = 0;            // the page's object number
    std::vector<int> contents; // object numbers of the content streams, in order
    std::string unparsed;      // the page dictionary as qpdf prints it
};

std::vector<PdfPage> ReadPages(const std::filesystem::path& pdf);
std::string StreamData(const std::filesystem::path& pdf, int objectNumber);
std::string ShowObject(const std::filesystem::path& pdf, int objectNumber);
// Empty when qpdf --check passes; otherwise its output.
std::string CheckProblems(const std::filesystem::path& pdf);

struct Word {
    std::string text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0; // pdftotext: y from the top of the page
};
// The words of one page (1-based) as pdftotext -bbox places them.
std::vector<Word> WordsOnPage(const std::filesystem::path& pdf, int page);

struct Gray {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels; // row by row from the top
    unsigned char at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};
// The page rendered by pdftoppm in gray at 72 dpi (one pixel per point).
Gray Render(const std::filesystem::path& pdf, int page);

// A Tesserion with the given text at PosX 72, PosY 36, Helvetica 12 on 14, black, every page.
model::Tesserion TextStamp(const std::string& text);

} // namespace tesser::stamp::test
