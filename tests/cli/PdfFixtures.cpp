#include "PdfFixtures.h"

#include "tests/support/TestSupport.h"

#include <map>
#include <regex>
#include <sstream>

namespace tesser::test {

namespace fs = std::filesystem;

void WritePdf(const fs::path& path, const PdfSpec& spec) {
    std::vector<std::string> objects;
    std::string catalogue = "<< /Type /Catalog /Pages 2 0 R";
    if (!spec.pageMode.empty()) {
        catalogue += " /PageMode /" + spec.pageMode;
    }
    objects.push_back(catalogue + " >>");
    std::string kids;
    for (int i = 0; i < spec.pages; ++i) {
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    }
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(spec.pages) +
                      " >>");
    const int fontObject = 3 + 2 * spec.pages;
    for (int i = 0; i < spec.pages; ++i) {
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                          std::to_string(4 + 2 * i) + " 0 R /Resources << /Font << /F0 " +
                          std::to_string(fontObject) + " 0 R >> >> >>");
        const std::string content =
            "BT /F0 24 Tf 72 400 Td (" + spec.label + " " + std::to_string(i + 1) + ") Tj ET";
        objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" +
                          content + "\nendstream");
    }
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman >>");
    if (spec.withInfo) {
        objects.push_back("<< /Title (Old title) /Author (Old author) /Subject (Old subject) "
                          "/Keywords (old words) >>");
    }
    std::string out = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t k = 0; k < objects.size(); ++k) {
        offsets.push_back(out.size());
        out += std::to_string(k + 1) + " 0 obj\n" + objects[k] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R";
    if (spec.withInfo) {
        out += " /Info " + std::to_string(objects.size()) + " 0 R";
    }
    out += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    WriteFile(path, out);
}

std::string NormalisedQdf(const fs::path& path, const std::string& password) {
    TempDir dir;
    const fs::path out = dir / "normal.qdf";
    std::string command = "qpdf --qdf --object-streams=disable --static-id --coalesce-contents "
                          "--decrypt ";
    if (!password.empty()) {
        command += "--password=" + Quote(password) + " ";
    }
    command += Quote(path.string()) + " " + Quote(out.string());
    const CommandResult result = Run(command);
    if (result.exitCode != 0 && result.exitCode != 3) {
        return {};
    }
    return ReadFile(out);
}

namespace {

struct Qdf {
    std::map<int, std::string> objects; // number -> text between "obj" and "endobj"
    std::map<int, int> pageOfObject;    // page object number -> 1-based page
    std::map<int, int> contentsOfPage;  // 1-based page -> content stream object
    std::string trailer;
};

Qdf ParseQdf(const std::string& text) {
    Qdf qdf;
    std::istringstream in(text);
    std::string line;
    int pendingPage = 0;
    int pendingContents = 0;
    int current = 0;
    std::string body;
    bool inTrailer = false;
    const std::regex objectLine(R"(^(\d+) 0 obj$)");
    while (std::getline(in, line)) {
        std::smatch m;
        if (inTrailer) {
            qdf.trailer += line + "\n";
            continue;
        }
        if (current == 0) {
            if (line.rfind("%% Page ", 0) == 0) {
                pendingPage = std::stoi(line.substr(8));
            } else if (line.rfind("%% Contents for page ", 0) == 0) {
                pendingContents = std::stoi(line.substr(21));
            } else if (std::regex_match(line, m, objectLine)) {
                current = std::stoi(m[1]);
                body.clear();
                if (pendingPage != 0) {
                    qdf.pageOfObject[current] = pendingPage;
                }
                if (pendingContents != 0) {
                    qdf.contentsOfPage[pendingContents] = current;
                }
                pendingPage = pendingContents = 0;
            } else if (line.rfind("trailer", 0) == 0) {
                inTrailer = true;
                qdf.trailer += line + "\n";
            }
            continue;
        }
        if (line == "endobj") {
            qdf.objects[current] = body;
            current = 0;
            continue;
        }
        body += line + "\n";
    }
    return qdf;
}

int Reference(const std::string& dictText, const std::string& key) {
    const std::regex pattern("\\" + key + R"( (\d+) 0 R)");
    std::smatch m;
    if (std::regex_search(dictText, m, pattern)) {
        return std::stoi(m[1]);
    }
    return 0;
}

// The object's text with references replaced by what they point to.
std::string Resolve(const Qdf& qdf, const std::string& text, int depth) {
    const std::regex reference(R"((\d+) 0 R)");
    std::string out;
    std::sregex_iterator it(text.begin(), text.end(), reference), end;
    std::size_t last = 0;
    for (; it != end; ++it) {
        out += text.substr(last, static_cast<std::size_t>(it->position()) - last);
        last = static_cast<std::size_t>(it->position() + it->length());
        const int number = std::stoi((*it)[1]);
        if (auto page = qdf.pageOfObject.find(number); page != qdf.pageOfObject.end()) {
            out += "<page " + std::to_string(page->second) + ">";
            continue;
        }
        auto object = qdf.objects.find(number);
        if (object == qdf.objects.end()) {
            out += "<missing>";
        } else if (object->second.find("\nstream\n") != std::string::npos) {
            out += "<stream>";
        } else if (depth > 8) {
            out += "<deep>";
        } else {
            out += Resolve(qdf, object->second, depth + 1);
        }
    }
    out += text.substr(last);
    // Layout differences are not content.
    std::string collapsed;
    bool space = false;
    for (char c : out) {
        if (c == ' ' || c == '\n' || c == '\t') {
            space = true;
            continue;
        }
        if (space && !collapsed.empty()) {
            collapsed += ' ';
        }
        space = false;
        collapsed += c;
    }
    return collapsed;
}

// Removes top-level entries of a QDF dictionary text (one entry per line at two spaces).
std::string WithoutKeys(const std::string& dictText, const std::vector<std::string>& keys) {
    std::istringstream in(dictText);
    std::string line;
    std::string out;
    bool skipping = false;
    while (std::getline(in, line)) {
        if (line.rfind("  /", 0) == 0) {
            skipping = false;
            for (const std::string& key : keys) {
                if (line.rfind("  /" + key + " ", 0) == 0 || line == "  /" + key) {
                    skipping = true;
                }
            }
        } else if (line == ">>") {
            skipping = false;
        }
        if (!skipping) {
            out += line + "\n";
        }
    }
    return out;
}

} // namespace

DocumentView ViewDocument(const fs::path& path, const std::string& password,
                          const std::vector<std::string>& ignoreCatalogueKeys) {
    DocumentView view;
    const std::string text = NormalisedQdf(path, password);
    if (text.empty()) {
        return view;
    }
    const Qdf qdf = ParseQdf(text);
    for (const auto& [page, object] : qdf.contentsOfPage) {
        const std::string& body = qdf.objects.at(object);
        const std::size_t start = body.find("\nstream\n");
        const std::size_t stop = body.rfind("endstream");
        view.pageContents.push_back(start == std::string::npos || stop == std::string::npos
                                        ? body
                                        : body.substr(start + 8, stop - start - 8));
    }
    const int info = Reference(qdf.trailer, "/Info");
    if (info != 0 && qdf.objects.count(info) != 0) {
        view.info = Resolve(qdf, qdf.objects.at(info), 0);
    }
    const int root = Reference(qdf.trailer, "/Root");
    if (root != 0 && qdf.objects.count(root) != 0) {
        std::vector<std::string> keys = ignoreCatalogueKeys;
        keys.push_back("Pages");
        view.catalogue = Resolve(qdf, WithoutKeys(qdf.objects.at(root), keys), 0);
    }
    std::string command = "qpdf --show-encryption ";
    if (!password.empty()) {
        command += "--password=" + Quote(password) + " ";
    }
    view.encryption = Run(command + Quote(path.string())).output;
    view.ok = true;
    return view;
}

bool QpdfCheckPasses(const fs::path& path, const std::string& password) {
    std::string command = "qpdf --check ";
    if (!password.empty()) {
        command += "--password=" + Quote(password) + " ";
    }
    return Run(command + Quote(path.string())).exitCode == 0;
}

std::string PdfText(const fs::path& path, const std::string& password) {
    std::string command = "pdftotext ";
    if (!password.empty()) {
        command += "-upw " + Quote(password) + " ";
    }
    return Run(command + Quote(path.string()) + " -").output;
}

const char* const kFootProfile = "[Tesserion_Foot]\r\n"
                                 "Text=Page <PageNumber> of <PageCount>\r\n"
                                 "PosX=72.000000\r\n"
                                 "PosY=36.000000\r\n"
                                 "JustifyV=Bottom\r\n"
                                 "\r\n"
                                 "[Tesserions]\r\n"
                                 "Count=1\r\n"
                                 "1=Foot\r\n";

int Occurrences(const std::string& text, const std::string& word) {
    int n = 0;
    for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        ++n;
    }
    return n;
}

} // namespace tesser::test
