#include "tests/docsettings/DocFixtures.h"

#include "hostcalls/HostCalls.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace tesser::docsettings::test {

using tesser::test::Quote;
using tesser::test::Run;

std::string BuildPdf(const PdfSpec& spec) {
    std::vector<std::string> bodies;
    bodies.push_back("<< /Type /Catalog /Pages 2 0 R " + spec.catalogEntries + " >>");
    std::string kids;
    for (int k = 1; k <= spec.pages; ++k) {
        kids += std::to_string(2 + k) + " 0 R ";
    }
    bodies.push_back("<< /Type /Pages /Count " + std::to_string(spec.pages) + " /Kids [" + kids +
                     "] >>");
    const int contentsObject =
        3 + spec.pages + static_cast<int>(spec.extraObjects.size()) + (spec.info.empty() ? 0 : 1);
    const std::string contents =
        spec.pageText.empty()
            ? std::string()
            : " /Contents " + std::to_string(contentsObject) +
                  " 0 R /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont "
                  "/Helvetica >> >> >>";
    for (int k = 1; k <= spec.pages; ++k) {
        bodies.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200]" + contents + " >>");
    }
    for (const auto& extra : spec.extraObjects) {
        bodies.push_back(extra);
    }
    const bool hasInfo = !spec.info.empty();
    if (hasInfo) {
        bodies.push_back("<< " + spec.info + " >>");
    }
    const size_t infoObject = bodies.size();
    if (!spec.pageText.empty()) {
        const std::string stream = "BT /F1 12 Tf 20 100 Td (" + spec.pageText + ") Tj ET";
        bodies.push_back("<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream +
                         "\nendstream");
    }
    std::string pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(bodies.size() + 1) + " /Root 1 0 R";
    if (hasInfo) {
        pdf += " /Info " + std::to_string(infoObject) + " 0 R";
    }
    pdf += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

int FirstExtraObject(const PdfSpec& spec) {
    return 3 + spec.pages;
}

void EncryptWithQpdf(const std::filesystem::path& in, const std::filesystem::path& out,
                     const std::string& user, const std::string& owner,
                     const std::string& restrictions) {
    auto result = Run("qpdf --encrypt " + Quote(user) + " " + Quote(owner) + " 256 " +
                      restrictions + " -- " + Quote(in.string()) + " " + Quote(out.string()));
    ASSERT_EQ(result.exitCode, 0) << result.errors;
}

namespace {

struct OpenPassword {
    std::string password;
};

HBool AuthoriseWithPassword(HDoc doc, void* clientData) {
    try {
        const auto* offered = static_cast<const OpenPassword*>(clientData);
        (void)hostcalls::Authorise(doc, kHPermOpen, offered->password);
        return 1;
    } catch (...) {
        return 0;
    }
}

std::string PasswordOption(const std::string& password) {
    return password.empty() ? std::string() : " --password=" + Quote(password);
}

int RootObject(const std::filesystem::path& path, const std::string& password) {
    auto trailer =
        Run("qpdf --show-object=trailer" + PasswordOption(password) + " " + Quote(path.string()));
    std::smatch match;
    if (!std::regex_search(trailer.output, match, std::regex(R"(/Root (\d+) 0 R)"))) {
        ADD_FAILURE() << "no /Root in the trailer of " << path << ": " << trailer.output
                      << trailer.errors;
        return 0;
    }
    return std::stoi(match[1]);
}

std::filesystem::path Canonical(const std::filesystem::path& path, const std::string& password) {
    std::filesystem::path qdf = path;
    qdf += ".canonical.qdf";
    auto result =
        Run("qpdf --qdf --object-streams=disable --no-original-object-ids --decrypt" +
            PasswordOption(password) + " " + Quote(path.string()) + " " + Quote(qdf.string()));
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    return qdf;
}

} // namespace

TestHost::TestHost() {
    host.SetMessageSink(&sink);
    if (!hostcalls::ConnectHost(host.GetHostCoreTable(), 1)) {
        ADD_FAILURE() << "cannot connect to the host";
    }
}

TestHost::~TestHost() {
    host::FaultSwitch::DisarmAll();
    hostcalls::DisconnectHost();
}

HDoc TestHost::Open(const std::filesystem::path& path, const std::string& password) {
    hostcalls::PathHandle p(
        hostcalls::GetDefaultFileSystem(),
        hostcalls::PathFromPlatformPath(hostcalls::GetDefaultFileSystem(), path));
    OpenPassword offered{password};
    return hostcalls::OpenDocument(p.get(), p.get().fileSystem, AuthoriseWithPassword, &offered,
                                   false);
}

void TestHost::Save(HDoc doc, const std::filesystem::path& path) {
    hostcalls::PathHandle p(
        hostcalls::GetDefaultFileSystem(),
        hostcalls::PathFromPlatformPath(hostcalls::GetDefaultFileSystem(), path));
    hostcalls::SaveDocument(doc, kHSaveFull, p.get(), p.get().fileSystem);
}

void TestHost::Close(HDoc doc) {
    hostcalls::CloseDocument(doc);
}

std::vector<std::string> TestHost::Notes() const {
    std::vector<std::string> notes;
    for (const auto& message : sink.messages) {
        if (message.kind == host::RecordingSink::Message::Kind::Note) {
            notes.push_back(message.text);
        }
    }
    return notes;
}

std::string ShowObject(const std::filesystem::path& path, const std::string& object,
                       const std::string& password) {
    auto result =
        Run("qpdf --show-object=" + object + PasswordOption(password) + " " + Quote(path.string()));
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    return result.output;
}

std::string CatalogText(const std::filesystem::path& path, const std::string& password) {
    const auto qdf = Canonical(path, password);
    return ShowObject(qdf, std::to_string(RootObject(qdf, "")));
}

std::string CatalogJson(const std::filesystem::path& path, const std::string& password) {
    const auto qdf = Canonical(path, password);
    auto result =
        Run("qpdf --json=2 --json-key=qpdf --json-object=" + std::to_string(RootObject(qdf, "")) +
            " " + Quote(qdf.string()));
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    // From the object on; the header before it counts objects, which a save may change.
    const auto at = result.output.find("\"obj:");
    EXPECT_NE(at, std::string::npos) << result.output;
    return at == std::string::npos ? result.output : result.output.substr(at);
}

std::string StructureText(const std::filesystem::path& path, const std::string& password) {
    std::istringstream qdf(tesser::test::ReadFile(Canonical(path, password)));
    std::string text;
    for (std::string line; std::getline(qdf, line);) {
        if (line.find("/ID [") == std::string::npos) {
            text += line + "\n";
        }
    }
    return text;
}

std::string PageRef(const std::filesystem::path& path, int page, const std::string& password) {
    auto result = Run("qpdf --show-pages" + PasswordOption(password) + " " + Quote(path.string()));
    std::smatch match;
    const std::regex line("page " + std::to_string(page) + R"(: (\d+ \d+ R))");
    if (!std::regex_search(result.output, match, line)) {
        ADD_FAILURE() << "no page " << page << " in " << result.output << result.errors;
        return "?";
    }
    return match[1];
}

std::string InfoText(const std::filesystem::path& path, const std::string& password) {
    auto trailer =
        Run("qpdf --show-object=trailer" + PasswordOption(password) + " " + Quote(path.string()));
    std::smatch match;
    if (!std::regex_search(trailer.output, match, std::regex(R"(/Info (\d+) 0 R)"))) {
        return "";
    }
    return ShowObject(path, match[1], password);
}

std::string PdfInfo(const std::filesystem::path& path, const std::string& password) {
    auto result = Run("pdfinfo" + (password.empty() ? std::string() : " -upw " + Quote(password)) +
                      " " + Quote(path.string()));
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    return result.output;
}

std::string ShowEncryption(const std::filesystem::path& path, const std::string& password) {
    auto result =
        Run("qpdf --show-encryption" + PasswordOption(password) + " " + Quote(path.string()));
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    return result.output;
}

} // namespace tesser::docsettings::test
