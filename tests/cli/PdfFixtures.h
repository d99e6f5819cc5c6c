// Test PDFs written by hand, and their contents read back through qpdf for comparison.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tesser::test {

struct PdfSpec {
    int pages = 3;
    bool withInfo = true;       // an information dictionary with Title, Author, Subject, Keywords
    std::string pageMode;       // a catalogue PageMode, e.g. "UseOutlines"; empty for none
    std::string label = "Page"; // the text drawn on each page: label + " " + number
};

// Writes a small valid PDF (US Letter pages, each drawing its label in Times-Roman).
void WritePdf(const std::filesystem::path& path, const PdfSpec& spec = {});

// The file rewritten by qpdf in QDF form with one content stream per page, decrypted with
// password when given. Empty when qpdf fails.
std::string NormalisedQdf(const std::filesystem::path& path, const std::string& password = {});

// What a reader sees of a document, independent of object numbers: the content data of each page,
// the information dictionary and the catalogue with references resolved (pages shown by their
// number, the page tree left out), and qpdf's encryption report.
struct DocumentView {
    std::vector<std::string> pageContents;
    std::string info;
    std::string catalogue;
    std::string encryption;
    bool ok = false;
};
// ignoreCatalogueKeys: catalogue entries left out of the view.
DocumentView ViewDocument(const std::filesystem::path& path, const std::string& password = {},
                          const std::vector<std::string>& ignoreCatalogueKeys = {});

// A profile with the one Tesserion "Foot": "Page <PageNumber> of <PageCount>" at the foot.
extern const char* const kFootProfile;

// How often word occurs in text.
int Occurrences(const std::string& text, const std::string& word);

bool QpdfCheckPasses(const std::filesystem::path& path, const std::string& password = {});
std::string PdfText(const std::filesystem::path& path, const std::string& password = {});

} // namespace tesser::test
