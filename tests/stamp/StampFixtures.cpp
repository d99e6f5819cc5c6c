#include "StampFixtures.h"

#include "hostcalls/HostCalls.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

namespace tesser::stamp::test {

using tesser::test::Quote;
using tesser::test::Run;

namespace {

class PdfText {
public:
    // Reserves an object number; its body is set later with Set.
    int Reserve() {
        bodies_.emplace_back();
        return static_cast<int>(bodies_.size());
    }
    void Set(int number, std::string body) { bodies_[static_cast<size_t>(number - 1)] = body; }
    int Add(std::string body) {
        const int n = Reserve();
        Set(n, std::move(body));
        return n;
    }
    int AddStream(const std::string& data) {
        return Add("<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                   "\nendstream");
    }
    std::string Finish(int root) const {
        std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
        std::vector<size_t> offsets;
        for (size_t i = 0; i < bodies_.size(); ++i) {
            offsets.push_back(out.size());
            out += std::to_string(i + 1) + " 0 obj\n" + bodies_[i] + "\nendobj\n";
        }
        const size_t xref = out.size();
        out += "xref\n0 " + std::to_string(bodies_.size() + 1) + "\n0000000000 65535 f \n";
        for (size_t offset : offsets) {
            char line[32];
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
            out += line;
        }
        out += "trailer\n<< /Size " + std::to_string(bodies_.size() + 1) + " /Root " +
               std::to_string(root) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return out;
    }

private:
    std::vector<std::string> bodies_;
};

std::string Ref(int n) {
    return std::to_string(n) + " 0 R";
}

} // namespace

std::string MakePdf(const std::vector<PageSpec>& pages) {
    PdfText pdf;
    const int catalog = pdf.Add("<< /Type /Catalog /Pages 2 0 R >>");
    const int tree = pdf.Reserve();
    std::string kids;
    int sharedArray = 0;
    for (const PageSpec& spec : pages) {
        const int page = pdf.Reserve();
        kids += Ref(page) + " ";
        std::string dict = "<< /Type /Page /Parent " + Ref(tree) + " /MediaBox " + spec.mediaBox;
        if (!spec.cropBox.empty()) {
            dict += " /CropBox " + spec.cropBox;
        }
        if (spec.form == ContentsForm::Single) {
            dict += " /Contents " + Ref(pdf.AddStream(spec.streams.at(0)));
        } else if (spec.form == ContentsForm::Array) {
            dict += " /Contents [";
            for (const std::string& data : spec.streams) {
                dict += " " + Ref(pdf.AddStream(data));
            }
            dict += " ]";
        } else if (spec.form == ContentsForm::SharedArray) {
            if (sharedArray == 0) {
                std::string array = "[";
                for (const std::string& data : spec.streams) {
                    array += " " + Ref(pdf.AddStream(data));
                }
                sharedArray = pdf.Add(array + " ]");
            }
            dict += " /Contents " + Ref(sharedArray);
        }
        dict += " /Resources <<";
        if (!spec.fonts.empty()) {
            dict += " /Font <<";
            for (const auto& [name, base] : spec.fonts) {
                dict += " /" + name + " " +
                        Ref(pdf.Add(
                            std::string("<< /Type /Font") +
                            (base.find("/Subtype") == std::string::npos ? " /Subtype /Type1" : "") +
                            " /BaseFont /" + base + " >>"));
            }
            dict += " >>";
        }
        if (!spec.procSet.empty()) {
            dict += " /ProcSet " + spec.procSet;
        }
        dict += " >> >>";
        pdf.Set(page, dict);
    }
    pdf.Set(tree,
            "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    return pdf.Finish(catalog);
}

std::string MakeLetterPdf(int count) {
    return MakePdf(std::vector<PageSpec>(static_cast<size_t>(count)));
}

HostSession::HostSession() {
    host.SetMessageSink(&sink);
    EXPECT_TRUE(hostcalls::ConnectHost(host.GetHostCoreTable(), 1));
}

HostSession::~HostSession() {
    hostcalls::DisconnectHost();
    host.SetMessageSink(nullptr);
}

HDoc HostSession::Open(const std::filesystem::path& path) {
    try {
        const HFileSys fs = hostcalls::GetDefaultFileSystem();
        hostcalls::PathHandle p(fs, hostcalls::PathFromPlatformPath(fs, path.string()));
        return hostcalls::OpenDocument(p.get(), fs, nullptr, nullptr, true);
    } catch (const hostcalls::HostError& e) {
        ADD_FAILURE() << "cannot open " << path << ": " << e.what();
        return nullptr;
    }
}

void HostSession::SaveAndClose(HDoc doc, const std::filesystem::path& path) {
    try {
        const HFileSys fs = hostcalls::GetDefaultFileSystem();
        hostcalls::PathHandle p(fs, hostcalls::PathFromPlatformPath(fs, path.string()));
        hostcalls::SaveDocument(doc, kHSaveFull, p.get(), fs);
    } catch (const hostcalls::HostError& e) {
        ADD_FAILURE() << "cannot save " << path << ": " << e.what();
    }
    Close(doc);
}

void HostSession::Close(HDoc doc) {
    try {
        hostcalls::CloseDocument(doc);
    } catch (const hostcalls::HostError& e) {
        ADD_FAILURE() << "cannot close: " << e.what();
    }
}

std::vector<std::string> HostSession::Messages() const {
    std::vector<std::string> texts;
    for (const auto& m : sink.messages) {
        texts.push_back(m.text);
    }
    return texts;
}

int HostSession::Count(const std::string& text) const {
    int n = 0;
    for (const auto& m : sink.messages) {
        n += m.text == text ? 1 : 0;
    }
    return n;
}

std::string ShowObject(const std::filesystem::path& pdf, int objectNumber) {
    const auto r =
        Run("qpdf --show-object=" + std::to_string(objectNumber) + " " + Quote(pdf.string()));
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::string text = r.output;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::string StreamData(const std::filesystem::path& pdf, int objectNumber) {
    const auto r = Run("qpdf --show-object=" + std::to_string(objectNumber) +
                       " --filtered-stream-data " + Quote(pdf.string()));
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    return r.output;
}

std::vector<PdfPage> ReadPages(const std::filesystem::path& pdf) {
    const auto r = Run("qpdf --json --json-key=pages " + Quote(pdf.string()));
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::vector<PdfPage> pages;
    // Each page entry lists "contents" (references) before "object" (its own reference).
    const std::regex entry(R"re("contents":\s*\[([^\]]*)\][\s\S]*?"object":\s*"(\d+) 0 R")re");
    const std::regex ref(R"re("(\d+) 0 R")re");
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), entry);
         it != std::sregex_iterator(); ++it) {
        PdfPage page;
        const std::string list = (*it)[1];
        for (auto c = std::sregex_iterator(list.begin(), list.end(), ref);
             c != std::sregex_iterator(); ++c) {
            page.contents.push_back(std::stoi((*c)[1]));
        }
        const int object = std::stoi((*it)[2]);
        page.object = object;
        page.unparsed = ShowObject(pdf, object);
        pages.push_back(std::move(page));
    }
    return pages;
}

std::string CheckProblems(const std::filesystem::path& pdf) {
    const auto r = Run("qpdf --check " + Quote(pdf.string()) + " 2>&1");
    if (r.exitCode == 0 &&
        r.output.find("No syntax or stream encoding errors") != std::string::npos) {
        return {};
    }
    return r.output.empty() ? "qpdf --check failed with code " + std::to_string(r.exitCode)
                            : r.output;
}

std::vector<Word> WordsOnPage(const std::filesystem::path& pdf, int page) {
    const std::string p = std::to_string(page);
    const auto r = Run("pdftotext -bbox -f " + p + " -l " + p + " " + Quote(pdf.string()) + " -");
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    std::vector<Word> words;
    const std::regex word(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">([^<]*)</word>)re");
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), word);
         it != std::sregex_iterator(); ++it) {
        words.push_back(Word{(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]),
                             std::stod((*it)[3]), std::stod((*it)[4])});
    }
    return words;
}

Gray Render(const std::filesystem::path& pdf, int page) {
    tesser::test::TempDir dir;
    const std::string p = std::to_string(page);
    const auto r = Run("pdftoppm -r 72 -gray -singlefile -f " + p + " -l " + p + " " +
                       Quote(pdf.string()) + " " + Quote((dir / "page").string()));
    EXPECT_EQ(r.exitCode, 0) << r.errors;
    const std::string bytes = tesser::test::ReadFile(dir / "page.pgm");
    Gray g;
    std::istringstream in(bytes);
    std::string magic;
    int maxValue = 0;
    in >> magic >> g.width >> g.height >> maxValue;
    in.get(); // the single white-space byte before the pixels
    EXPECT_EQ(magic, "P5");
    EXPECT_EQ(maxValue, 255);
    g.pixels.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.height));
    in.read(reinterpret_cast<char*>(g.pixels.data()),
            static_cast<std::streamsize>(g.pixels.size()));
    EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(g.pixels.size()));
    return g;
}

model::Tesserion TextStamp(const std::string& text) {
    model::Tesserion t;
    t.Name = "T";
    t.Text = text;
    t.PosX = 72;
    t.PosY = 36;
    return t;
}

} // namespace tesser::stamp::test
