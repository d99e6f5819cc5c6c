// Open, change, save and reopen real files; pages, boxes, resources and fonts.
#include "tests/host/HostTestSupport.h"

#include <cstring>
#include <fstream>

namespace tesser::host::test {
namespace {

class DocumentRoundTrip : public HostTest {
protected:
    // Puts a marker entry into the catalogue and a Title into the info dictionary.
    void ChangeAndSave(HDoc doc, const std::filesystem::path& path, int32_t flags) {
        HCosDoc cd = nullptr;
        ASSERT_TRUE(Ok(model->GetCosDocument(doc, &cd)));
        HObject value = nullptr;
        ASSERT_TRUE(Ok(cos->NewInteger(cd, 0, 4711, &value)));
        ASSERT_TRUE(Ok(cos->DictPut(Catalog(doc), Atom("TesserMark"), value)));
        const char title[] = "Round \x93trip\x94";
        ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Title", title, sizeof title - 1)));
        ASSERT_TRUE(Ok(Save(doc, path, flags)));
    }

    void ExpectChanged(const std::filesystem::path& path, const std::string& password = "") {
        EXPECT_TRUE(QpdfCheckPasses(path, password));
        HDoc doc = OpenOk(path, password);
        ASSERT_NE(doc, nullptr);
        HObject mark = nullptr;
        ASSERT_TRUE(Ok(cos->DictGet(Catalog(doc), Atom("TesserMark"), &mark)));
        int32_t v = 0;
        ASSERT_TRUE(Ok(cos->GetIntegerValue(mark, &v)));
        EXPECT_EQ(v, 4711);
        EXPECT_EQ(InfoEntry(doc, "Title"), "Round \x93trip\x94");
        EXPECT_TRUE(Ok(model->CloseDocument(doc)));
    }

    int32_t Pages(HDoc doc) {
        int32_t n = -1;
        EXPECT_TRUE(Ok(model->GetPageCount(doc, &n)));
        return n;
    }
};

TEST_F(DocumentRoundTrip, PlainFileKeepsChangesAndPassesCheck) {
    auto file = dir / "plain.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    EXPECT_EQ(auth.handler, "None");
    ChangeAndSave(doc, file, 33);
    ASSERT_TRUE(Ok(model->CloseDocument(doc)));
    ExpectChanged(file);
}

TEST_F(DocumentRoundTrip, ObjectStreamsAndXrefStreamsFile) {
    auto made = dir / "made.pdf";
    auto file = dir / "objstm.pdf";
    MakePdf(made);
    ASSERT_EQ(Qpdf("--object-streams=generate " + Quote(made) + " " + Quote(file)).exitCode, 0);
    ASSERT_NE(Shell("grep -c /ObjStm " + Quote(file)).output, "0\n");
    HDoc doc = OpenOk(file);
    ChangeAndSave(doc, file, 33);
    ASSERT_TRUE(Ok(model->CloseDocument(doc)));
    ExpectChanged(file);
    // Object streams are preserved by the rewrite.
    EXPECT_NE(Shell("grep -c /ObjStm " + Quote(file)).output, "0\n");
}

TEST_F(DocumentRoundTrip, LinearisedSaveWithFlags37) {
    auto file = dir / "lin.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    ChangeAndSave(doc, file, 37);
    ASSERT_TRUE(Ok(model->CloseDocument(doc)));
    ExpectChanged(file);
    EXPECT_EQ(Qpdf("--check-linearization " + Quote(file)).exitCode, 0);
}

TEST_F(DocumentRoundTrip, UnreferencedObjectsAreDropped) {
    auto file = dir / "drop.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    HCosDoc cd = nullptr;
    ASSERT_TRUE(Ok(model->GetCosDocument(doc, &cd)));
    HObject orphan = nullptr;
    const char text[] = "orphan-string-xyz";
    ASSERT_TRUE(Ok(cos->NewString(cd, 1, text, sizeof text - 1, &orphan)));
    ASSERT_TRUE(Ok(Save(doc, file)));
    ASSERT_TRUE(Ok(model->CloseDocument(doc)));
    EXPECT_EQ(tesser::test::ReadFile(file).find("orphan-string-xyz"), std::string::npos);
}

TEST_F(DocumentRoundTrip, PageCountNumberAndDocument) {
    auto file = dir / "pages.pdf";
    MakePdf(file, PdfSpec{.pages = 5});
    HDoc doc = OpenOk(file);
    EXPECT_EQ(Pages(doc), 5);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 3, &page)));
    int32_t index = -1;
    ASSERT_TRUE(Ok(model->GetPageNumber(page, &index)));
    EXPECT_EQ(index, 3);
    HDoc owner = nullptr;
    ASSERT_TRUE(Ok(model->GetPageDocument(page, &owner)));
    EXPECT_EQ(owner, doc);
    ASSERT_TRUE(Ok(model->ReleasePage(page)));
    HPage none = nullptr;
    HErrorCode code = model->AcquirePage(doc, 5, &none);
    EXPECT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("no page 6"), std::string::npos) << Text(code);
    EXPECT_NE(model->AcquirePage(doc, -1, &none), kHErrNone);
    EXPECT_EQ(none, nullptr);
    ASSERT_TRUE(Ok(model->CloseDocument(doc)));
}

HFixed Fx(double v) {
    return static_cast<HFixed>(v * 65536);
}

TEST_F(DocumentRoundTrip, InheritedMediaBoxAndCropBoxSmallerThanMediaBox) {
    auto file = dir / "boxes.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    HPage first = nullptr, third = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &first)));
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 2, &third)));
    HFixedRect box{};
    ASSERT_TRUE(Ok(model->GetPageMediaBox(first, &box)));
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.bottom, 0);
    EXPECT_EQ(box.right, Fx(612));
    EXPECT_EQ(box.top, Fx(792));
    ASSERT_TRUE(Ok(model->GetPageCropBox(first, &box)));
    EXPECT_EQ(box.right, Fx(612)); // no crop box: the media box
    ASSERT_TRUE(Ok(model->GetPageCropBox(third, &box)));
    EXPECT_EQ(box.left, Fx(36));
    EXPECT_EQ(box.bottom, Fx(72));
    EXPECT_EQ(box.right, Fx(576));
    EXPECT_EQ(box.top, Fx(720));
    model->ReleasePage(first);
    model->ReleasePage(third);
    model->CloseDocument(doc);
}

TEST_F(DocumentRoundTrip, ReversedBoxCornersAreNormalised) {
    auto file = dir / "reversed.pdf";
    MakePdf(file, PdfSpec{.pages = 1, .inheritMediaBox = false});
    HDoc doc = OpenOk(file);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    HObject dict = nullptr;
    ASSERT_TRUE(Ok(model->GetPageCosObject(page, &dict)));
    HCosDoc cd = nullptr;
    model->GetCosDocument(doc, &cd);
    HObject arr = nullptr;
    ASSERT_TRUE(Ok(cos->NewArray(cd, 0, 4, &arr)));
    for (int v : {300, 400, 10, 20}) {
        HObject n = nullptr;
        cos->NewInteger(cd, 0, v, &n);
        int32_t len = 0;
        cos->ArrayLength(arr, &len);
        ASSERT_TRUE(Ok(cos->ArrayPut(arr, len, n)));
    }
    ASSERT_TRUE(Ok(cos->DictPut(dict, Atom("MediaBox"), arr)));
    HFixedRect box{};
    ASSERT_TRUE(Ok(model->GetPageMediaBox(page, &box)));
    EXPECT_EQ(box.left, Fx(10));
    EXPECT_EQ(box.bottom, Fx(20));
    EXPECT_EQ(box.right, Fx(300));
    EXPECT_EQ(box.top, Fx(400));
    model->ReleasePage(page);
    model->CloseDocument(doc);
}

TEST_F(DocumentRoundTrip, RotatedPageAndContentsArraySurviveTheSave) {
    auto file = dir / "rot.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    ChangeAndSave(doc, file, 33);
    model->CloseDocument(doc);
    auto info = Shell("pdfinfo -f 1 -l 3 " + Quote(file));
    EXPECT_NE(info.output.find("Page    2 rot:   90"), std::string::npos) << info.output;
    auto text = Shell("pdftotext " + Quote(file) + " -");
    EXPECT_NE(text.output.find("Page 1"), std::string::npos);
    EXPECT_NE(text.output.find("Page 3"), std::string::npos);
    auto json = Qpdf("--json --json-key=pages " + Quote(file));
    // Page 1 still has its three content streams.
    auto start = json.output.find("\"contents\": [");
    ASSERT_NE(start, std::string::npos) << json.output;
    auto end = json.output.find(']', start);
    std::string first = json.output.substr(start, end - start);
    size_t refs = 0;
    for (auto at = first.find(" R\""); at != std::string::npos; at = first.find(" R\"", at + 1)) {
        ++refs;
    }
    EXPECT_EQ(refs, 3u) << first;
}

TEST_F(DocumentRoundTrip, InheritedResourcesBecomeThePagesOwnWithoutChangingOthers) {
    auto file = dir / "res.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    HCosDoc cd = nullptr;
    model->GetCosDocument(doc, &cd);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 1, &page)));
    HObject font = nullptr;
    ASSERT_TRUE(Ok(cos->NewDict(cd, 1, 4, &font)));
    HObject name = nullptr;
    cos->NewName(cd, 0, Atom("Courier"), &name);
    ASSERT_TRUE(Ok(cos->DictPut(font, Atom("BaseFont"), name)));
    ASSERT_TRUE(Ok(model->AddPageResource(page, "Font", "TPF1", font)));
    HObject resources = nullptr;
    ASSERT_TRUE(Ok(model->GetPageResources(page, &resources)));
    HObject fonts = nullptr;
    ASSERT_TRUE(Ok(cos->DictGet(resources, Atom("Font"), &fonts)));
    HBool known = 0;
    ASSERT_TRUE(Ok(cos->DictKnown(fonts, Atom("TPF1"), &known)));
    EXPECT_TRUE(known);
    ASSERT_TRUE(Ok(cos->DictKnown(fonts, Atom("F1"), &known)));
    EXPECT_TRUE(known) << "the inherited font stays available";
    model->ReleasePage(page);
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(file));

    // Reopened: only page 2 has the new font.
    HDoc again = OpenOk(file);
    for (int i = 0; i < 3; ++i) {
        HPage p = nullptr;
        ASSERT_TRUE(Ok(model->AcquirePage(again, i, &p)));
        std::vector<std::string> names;
        auto visit = [](HFont, HAtom atom, void* data) -> HBool {
            static_cast<std::vector<HAtom>*>(data)->push_back(atom);
            return 1;
        };
        std::vector<HAtom> atoms;
        ASSERT_TRUE(Ok(model->EnumeratePageFonts(p, visit, &atoms)));
        bool hasNew = false;
        for (HAtom a : atoms) {
            hasNew = hasNew || a == Atom("TPF1");
        }
        EXPECT_EQ(hasNew, i == 1) << "page " << i + 1;
        EXPECT_GE(atoms.size(), 1u) << "page " << i + 1 << " keeps F1";
        model->ReleasePage(p);
    }
    model->CloseDocument(again);
}

TEST_F(DocumentRoundTrip, SharedResourceDictionaryIsCopiedBeforeWriting) {
    auto file = dir / "shared.pdf";
    MakePdf(file, PdfSpec{.inheritResources = false, .sharedResources = true});
    HDoc doc = OpenOk(file);
    HCosDoc cd = nullptr;
    model->GetCosDocument(doc, &cd);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    HObject resources = nullptr;
    ASSERT_TRUE(Ok(model->GetPageResources(page, &resources)));
    HObject procset = nullptr;
    ASSERT_TRUE(Ok(cos->DictGet(resources, Atom("ProcSet"), &procset)));
    HObject imageB = nullptr;
    cos->NewName(cd, 0, Atom("ImageB"), &imageB);
    ASSERT_TRUE(Ok(cos->ArrayInsert(procset, 0, imageB)));
    model->ReleasePage(page);
    HPage other = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 1, &other)));
    HObject otherResources = nullptr;
    ASSERT_TRUE(Ok(model->GetPageResources(other, &otherResources)));
    HObject otherProcset = nullptr;
    ASSERT_TRUE(Ok(cos->DictGet(otherResources, Atom("ProcSet"), &otherProcset)));
    int32_t n = 0;
    ASSERT_TRUE(Ok(cos->ArrayLength(otherProcset, &n)));
    EXPECT_EQ(n, 2) << "page 2's ProcSet must not see page 1's change";
    model->ReleasePage(other);
    model->CloseDocument(doc);
}

TEST_F(DocumentRoundTrip, FontsNamesAndWidths) {
    auto file = dir / "fonts.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    struct Seen {
        const HostModelTable* model;
        std::vector<std::string> names;
        std::vector<std::vector<int16_t>> widths;
    } seen{model, {}, {}};
    auto visit = [](HFont font, HAtom, void* data) -> HBool {
        auto* s = static_cast<Seen*>(data);
        char name[65];
        if (s->model->GetFontName(font, name, sizeof name) != kHErrNone) {
            return 0;
        }
        s->names.emplace_back(name);
        std::vector<int16_t> w(256);
        if (s->model->GetFontWidths(font, w.data()) != kHErrNone) {
            return 0;
        }
        s->widths.push_back(w);
        return 1;
    };
    ASSERT_TRUE(Ok(model->EnumeratePageFonts(page, visit, &seen)));
    ASSERT_EQ(seen.names.size(), 1u);
    EXPECT_EQ(seen.names[0], "Helvetica");
    // Helvetica: space 278, A 667, W 944, Euro (0x80) 556, e-acute (0xE9) 556.
    EXPECT_EQ(seen.widths[0][' '], 278);
    EXPECT_EQ(seen.widths[0]['A'], 667);
    EXPECT_EQ(seen.widths[0]['W'], 944);
    EXPECT_EQ(seen.widths[0][0x80], 556);
    EXPECT_EQ(seen.widths[0][0xE9], 556);
    EXPECT_EQ(seen.widths[0][0x0A], 0);
    model->ReleasePage(page);
    model->CloseDocument(doc);
}

TEST_F(DocumentRoundTrip, FontWidthsComeFromTheWidthsArrayWhenPresent) {
    auto file = dir / "widths.pdf";
    MakePdf(file, PdfSpec{.pages = 1});
    HDoc doc = OpenOk(file);
    HCosDoc cd = nullptr;
    model->GetCosDocument(doc, &cd);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 0, &page)));
    HObject font = nullptr;
    ASSERT_TRUE(Ok(cos->NewDict(cd, 1, 4, &font)));
    HObject first = nullptr, widths = nullptr, base = nullptr;
    cos->NewInteger(cd, 0, 65, &first);
    cos->NewArray(cd, 0, 2, &widths);
    for (int w : {111, 222}) {
        HObject n = nullptr;
        cos->NewInteger(cd, 0, w, &n);
        int32_t len = 0;
        cos->ArrayLength(widths, &len);
        cos->ArrayPut(widths, len, n);
    }
    cos->NewName(cd, 0, Atom("Custom"), &base);
    cos->DictPut(font, Atom("FirstChar"), first);
    cos->DictPut(font, Atom("Widths"), widths);
    cos->DictPut(font, Atom("BaseFont"), base);
    ASSERT_TRUE(Ok(model->AddPageResource(page, "Font", "C1", font)));
    struct Found {
        const HostModelTable* model;
        HAtom wanted;
        std::vector<int16_t> widths = std::vector<int16_t>(256, -1);
    } found{model, Atom("C1")};
    auto visit = [](HFont f, HAtom name, void* data) -> HBool {
        auto* s = static_cast<Found*>(data);
        if (name == s->wanted) {
            s->model->GetFontWidths(f, s->widths.data());
            return 0;
        }
        return 1;
    };
    ASSERT_TRUE(Ok(model->EnumeratePageFonts(page, visit, &found)));
    EXPECT_EQ(found.widths['A'], 111);
    EXPECT_EQ(found.widths['B'], 222);
    EXPECT_EQ(found.widths['C'], 0);
    model->ReleasePage(page);
    model->CloseDocument(doc);
}

TEST_F(DocumentRoundTrip, DamagedXrefOpensWithAWarningAndSavesCleanly) {
    auto file = dir / "damaged.pdf";
    MakePdf(file);
    std::string bytes = tesser::test::ReadFile(file);
    auto xref = bytes.rfind("startxref\n");
    ASSERT_NE(xref, std::string::npos);
    bytes.replace(xref + 10, bytes.find('\n', xref + 10) - (xref + 10), "999");
    tesser::test::WriteFile(file, bytes);
    HDoc doc = OpenOk(file);
    ASSERT_NE(doc, nullptr);
    EXPECT_FALSE(host.DocumentWarnings(doc).empty());
    EXPECT_EQ(Pages(doc), 3);
    ChangeAndSave(doc, file, 33);
    model->CloseDocument(doc);
    ExpectChanged(file);
}

TEST_F(DocumentRoundTrip, MissingFileGivesQpdfsMessageNamingTheFile) {
    HDoc doc = nullptr;
    auto file = dir / "absent.pdf";
    HErrorCode code = Open(file, &doc);
    ASSERT_NE(code, kHErrNone);
    EXPECT_EQ(doc, nullptr);
    EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    EXPECT_NE(Text(code).find("No such file"), std::string::npos) << Text(code);
}

TEST_F(DocumentRoundTrip, TextFileIsRefusedAsNotAPdf) {
    auto file = dir / "notes.txt";
    tesser::test::WriteFile(file, "These are notes, not a PDF.\n");
    HDoc doc = nullptr;
    HErrorCode code = Open(file, &doc);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    EXPECT_NE(Text(code).find("PDF"), std::string::npos) << Text(code);
}

TEST_F(DocumentRoundTrip, TruncatedPdfOpensRepairedOrFailsClearly) {
    auto file = dir / "cut.pdf";
    MakePdf(file);
    std::string bytes = tesser::test::ReadFile(file);
    tesser::test::WriteFile(file, bytes.substr(0, bytes.size() / 3));
    HDoc doc = nullptr;
    HErrorCode code = Open(file, &doc);
    if (code == kHErrNone) {
        EXPECT_FALSE(host.DocumentWarnings(doc).empty());
        model->CloseDocument(doc);
    } else {
        EXPECT_NE(Text(code).find(file.string()), std::string::npos) << Text(code);
    }
}

TEST_F(DocumentRoundTrip, FolderIsRefused) {
    HDoc doc = nullptr;
    HErrorCode code = Open(dir.path(), &doc);
    ASSERT_NE(code, kHErrNone);
    EXPECT_NE(Text(code).find("not a regular file"), std::string::npos) << Text(code);
}

TEST_F(DocumentRoundTrip, DocumentFlagsFollowChangesAndSaves) {
    auto file = dir / "flags.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    int32_t flags = -1;
    ASSERT_TRUE(Ok(model->GetDocumentFlags(doc, &flags)));
    EXPECT_EQ(flags & kHDocNeedsSave, 0);
    ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Author", "A", 1)));
    model->GetDocumentFlags(doc, &flags);
    EXPECT_EQ(flags & kHDocNeedsSave, kHDocNeedsSave);
    ASSERT_TRUE(Ok(model->ClearDocumentFlags(doc, kHDocNeedsSave)));
    model->GetDocumentFlags(doc, &flags);
    EXPECT_EQ(flags & kHDocNeedsSave, 0);
    HPage page = nullptr;
    model->AcquirePage(doc, 0, &page);
    ASSERT_TRUE(Ok(model->NotifyPageContentsChanged(page, 1)));
    model->GetDocumentFlags(doc, &flags);
    EXPECT_EQ(flags & kHDocNeedsSave, kHDocNeedsSave);
    model->ReleasePage(page);
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->GetDocumentFlags(doc, &flags);
    EXPECT_EQ(flags & kHDocNeedsSave, 0);
    model->CloseDocument(doc);
}

TEST_F(DocumentRoundTrip, InfoDictionaryIsCreatedWhenAbsent) {
    auto file = dir / "noinfo.pdf";
    MakePdf(file);
    ASSERT_EQ(tesser::test::ReadFile(file).find("/Info"), std::string::npos);
    HDoc doc = OpenOk(file);
    EXPECT_EQ(InfoEntry(doc, "Subject"), "");
    ASSERT_TRUE(Ok(model->SetDocInfo(doc, "Subject", "S\0b", 3)));
    EXPECT_EQ(InfoEntry(doc, "Subject"), std::string("S\0b", 3));
    ASSERT_TRUE(Ok(Save(doc, file)));
    model->CloseDocument(doc);
    auto info = Shell("pdfinfo " + Quote(file));
    EXPECT_NE(info.output.find("Subject:"), std::string::npos) << info.output;
}

TEST_F(DocumentRoundTrip, SaveToANewPathLeavesTheOriginal) {
    auto file = dir / "orig.pdf";
    auto copy = dir / "copy.pdf";
    MakePdf(file);
    std::string before = tesser::test::ReadFile(file);
    HDoc doc = OpenOk(file);
    ChangeAndSave(doc, copy, 33);
    model->CloseDocument(doc);
    EXPECT_EQ(tesser::test::ReadFile(file), before);
    ExpectChanged(copy);
}

} // namespace
} // namespace tesser::host::test
