// Real PDF files for the document-settings tests, and a host to open and save them with.
#pragma once

#include "host/FaultSwitch.h"
#include "host/Host.h"
#include "hostapi/HostApi.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tesser::docsettings::test {

// A small PDF: object 1 the catalogue, 2 the page tree, 3.. the pages (page k, 1-based, is object
// 2 + k), then extraObjects numbered from 3 + pages, then an information dictionary when info is
// not empty, then (when pageText is set) one content stream shared by the pages showing pageText
// in Helvetica. catalogEntries and info are dictionary bodies ("/PageMode /UseOutlines").
struct PdfSpec {
    int pages = 1;
    std::string catalogEntries;
    std::vector<std::string> extraObjects;
    std::string info;
    std::string pageText;
};
std::string BuildPdf(const PdfSpec& spec);
int FirstExtraObject(const PdfSpec& spec);

// qpdf --encrypt USER OWNER 256 <restrictions> -- in out; the test fails when qpdf does.
void EncryptWithQpdf(const std::filesystem::path& in, const std::filesystem::path& out,
                     const std::string& user, const std::string& owner,
                     const std::string& restrictions);

// One host for a test, connected to the plug-in's host calls, with a recording message sink.
class TestHost {
public:
    TestHost();
    ~TestHost();

    // Opens a file; password (may be empty) is offered through the authorisation procedure.
    HDoc Open(const std::filesystem::path& path, const std::string& password = "");
    void Save(HDoc doc, const std::filesystem::path& path);
    void Close(HDoc doc);
    // Opens, calls edit, saves over the file and closes.
    template <typename EditFn>
    void Edit(const std::filesystem::path& path, const std::string& password, EditFn edit) {
        HDoc doc = Open(path, password);
        edit(doc);
        Save(doc, path);
        Close(doc);
    }

    std::vector<std::string> Notes() const;

    host::Host host;
    host::RecordingSink sink;
};

// The independent tools' view of a file.
std::string ShowObject(const std::filesystem::path& path, const std::string& object,
                       const std::string& password = "");
// The catalogue as qpdf prints it, after qpdf has renumbered the file canonically (QDF), so two
// files with the same structure give the same text.
std::string CatalogText(const std::filesystem::path& path, const std::string& password = "");
// qpdf --json of the catalogue object of the canonically renumbered file.
std::string CatalogJson(const std::filesystem::path& path, const std::string& password = "");
// Every object of the canonically renumbered file as QDF text, without the trailer's /ID (a save
// gives a file a new one): equal for two files with the same objects.
std::string StructureText(const std::filesystem::path& path, const std::string& password = "");
// "N G R" of the 1-based page as qpdf --show-pages lists it (a save renumbers objects).
std::string PageRef(const std::filesystem::path& path, int page, const std::string& password = "");
// The text of the information dictionary ("" when the file has none).
std::string InfoText(const std::filesystem::path& path, const std::string& password = "");
std::string PdfInfo(const std::filesystem::path& path, const std::string& password = "");
std::string ShowEncryption(const std::filesystem::path& path, const std::string& password);

} // namespace tesser::docsettings::test
