#include "tests/host/HostTestSupport.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>

namespace tesser::host::test {

namespace {

QPDFObjectHandle Rect(double a, double b, double c, double d) {
    return QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(a, b, c, d));
}

QPDFObjectHandle TextStream(QPDF& pdf, const std::string& text) {
    return QPDFObjectHandle::newStream(&pdf, "BT /F1 24 Tf 72 700 Td (" + text + ") Tj ET\n");
}

QPDFObjectHandle HelveticaFont(QPDF& pdf) {
    return pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
}

} // namespace

void MakePdf(const std::filesystem::path& path, const PdfSpec& spec) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
    QPDFObjectHandle resources = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/F1", HelveticaFont(pdf));
    resources.replaceKey("/Font", fonts);
    resources.replaceKey("/ProcSet", QPDFObjectHandle::parse("[/PDF /Text]"));
    if (spec.inheritMediaBox) {
        root.replaceKey("/MediaBox", Rect(0, 0, 612, 792));
    }
    if (spec.inheritResources) {
        root.replaceKey("/Resources", resources);
    }
    QPDFObjectHandle kids = QPDFObjectHandle::newArray();
    for (int i = 0; i < spec.pages; ++i) {
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/Parent", root);
        if (!spec.inheritMediaBox) {
            page.replaceKey("/MediaBox", Rect(0, 0, 595, 842));
        }
        if (!spec.inheritResources || spec.sharedResources) {
            page.replaceKey("/Resources", resources);
        }
        std::string text = "Page " + std::to_string(i + 1);
        if (i == 0 && spec.contentsArray) {
            QPDFObjectHandle contents = QPDFObjectHandle::newArray();
            contents.appendItem(QPDFObjectHandle::newStream(&pdf, "q\n"));
            contents.appendItem(TextStream(pdf, text));
            contents.appendItem(QPDFObjectHandle::newStream(&pdf, "Q\n"));
            page.replaceKey("/Contents", contents);
        } else {
            page.replaceKey("/Contents", TextStream(pdf, text));
        }
        if (i == 1 && spec.rotate != 0) {
            page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(spec.rotate));
        }
        if (i == 2 && spec.cropBox) {
            page.replaceKey("/CropBox", Rect(36, 72, 576, 720));
        }
        kids.appendItem(page);
    }
    root.replaceKey("/Kids", kids);
    root.replaceKey("/Count", QPDFObjectHandle::newInteger(spec.pages));
    QPDFWriter writer(pdf, path.c_str());
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.setCompressStreams(false);
    writer.setStaticID(true);
    writer.write();
}

void MakeSignedPdf(const std::filesystem::path& path, bool certified) {
    MakePdf(path);
    QPDF pdf;
    pdf.processFile(path.c_str());
    auto sig = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Sig /Filter /Adobe.PPKLite /ByteRange [0 10 20 30] /Contents <00> >>"));
    if (certified) {
        auto perms = QPDFObjectHandle::newDictionary();
        perms.replaceKey("/DocMDP", sig);
        pdf.getRoot().replaceKey("/Perms", perms);
    } else {
        auto field = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /FT /Sig /T (Sig1) >>"));
        field.replaceKey("/V", sig);
        auto form = QPDFObjectHandle::newDictionary();
        form.replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
        pdf.getRoot().replaceKey("/AcroForm", form);
    }
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.write();
    auto bytes = writer.getBufferSharedPointer();
    tesser::test::WriteFile(
        path, std::string(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize()));
}

void MakeManyPagesPdf(const std::filesystem::path& path, int pages) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = HelveticaFont(pdf);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/Font", QPDFObjectHandle::newDictionary());
    resources.getKey("/Font").replaceKey("/F1", font);
    QPDFPageDocumentHelper helper(pdf);
    for (int i = 0; i < pages; ++i) {
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", Rect(0, 0, 612, 792));
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", TextStream(pdf, "Page " + std::to_string(i + 1)));
        helper.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter writer(pdf, path.c_str());
    writer.setStaticID(true);
    writer.write();
}

std::string SaveFaultPointName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

tesser::test::CommandResult Qpdf(const std::string& arguments) {
    return Shell("qpdf " + arguments);
}

::testing::AssertionResult ReadsWholeWithPages(const std::filesystem::path& path, size_t pages) {
    QPDF check;
    check.setAttemptRecovery(false);
    check.setSuppressWarnings(true);
    try {
        check.processFile(path.c_str());
        const size_t found = check.getAllPages().size();
        if (check.anyWarnings()) {
            return ::testing::AssertionFailure()
                   << path << " reads with warnings: " << check.getWarnings().front().what();
        }
        if (found != pages) {
            return ::testing::AssertionFailure()
                   << path << " has " << found << " pages instead of " << pages;
        }
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << path << " cannot be read: " << e.what();
    }
    return ::testing::AssertionSuccess();
}

bool QpdfCheckPasses(const std::filesystem::path& path, const std::string& password) {
    std::string pw = password.empty() ? "" : " --password=" + Quote(password);
    auto result = Qpdf("--check" + pw + " " + Quote(path.string()));
    // qpdf answers 3 for warnings; a file we wrote must have none.
    return result.exitCode == 0;
}

namespace {

HBool AuthoriseWith(HDoc doc, void* data) {
    auto* state = static_cast<HostTest::AuthState*>(data);
    ++state->calls;
    HostTest* t = state->test;
    HAtom name = 0;
    if (t->model->GetSecurityHandlerName(doc, &name) != kHErrNone) {
        return 0;
    }
    char text[64];
    t->core->GetAtomText(name, text, sizeof text);
    state->handler = text;
    int32_t granted = 0;
    if (state->handler == "Standard") {
        if (t->model->Authorise(doc, state->required, state->password.c_str(), &granted) !=
            kHErrNone) {
            return 0;
        }
    } else if (t->model->GetDocumentPermissions(doc, &granted) != kHErrNone) {
        return 0;
    }
    state->granted = granted;
    return (granted & state->required) == state->required;
}

} // namespace

HostTest::HostTest() {
    host.SetMessageSink(&sink);
    core = host.GetHostCoreTable();
    auto import = [&](const char* name) {
        HAtom atom = 0;
        const void* table = nullptr;
        EXPECT_EQ(core->CreateAtom(name, &atom), kHErrNone);
        EXPECT_EQ(core->ImportFunctionTable(atom, HOST_TABLE_VERSION_2_2, &table), kHErrNone);
        return table;
    };
    support = static_cast<const HostSupportTable*>(import(HOST_TABLE_ACROSUPPORT));
    cos = static_cast<const HostCosTable*>(import(HOST_TABLE_COS));
    model = static_cast<const HostModelTable*>(import(HOST_TABLE_PDMODEL));
    view = static_cast<const HostViewTable*>(import(HOST_TABLE_ACROVIEW));
    win = static_cast<const HostWinTable*>(import(HOST_TABLE_WIN));
    auth.test = this;
    FaultSwitch::DisarmAll();
}

HostTest::~HostTest() {
    FaultSwitch::DisarmAll();
    for (HPath p : paths) {
        support->ReleasePath(nullptr, p);
    }
}

::testing::AssertionResult HostTest::Ok(HErrorCode code) {
    if (code == kHErrNone) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "host error " << code << ": " << Text(code);
}

HAtom HostTest::Atom(const std::string& text) {
    HAtom atom = 0;
    EXPECT_TRUE(Ok(core->CreateAtom(text.c_str(), &atom)));
    return atom;
}

HPath HostTest::Path(const std::filesystem::path& path) {
    HFileSys fs = nullptr;
    EXPECT_TRUE(Ok(support->GetDefaultFileSystem(&fs)));
    HPath p = nullptr;
    EXPECT_TRUE(Ok(support->PathFromPlatformPath(fs, path.c_str(), &p)));
    paths.push_back(p);
    return p;
}

HErrorCode HostTest::Open(const std::filesystem::path& path, HDoc* doc, const std::string& password,
                          int32_t required) {
    auth.password = password;
    auth.required = required;
    auth.calls = 0;
    auth.granted = -1;
    return model->OpenDocument(Path(path), nullptr, AuthoriseWith, &auth, 0, doc);
}

HDoc HostTest::OpenOk(const std::filesystem::path& path, const std::string& password) {
    HDoc doc = nullptr;
    EXPECT_TRUE(Ok(Open(path, &doc, password)));
    return doc;
}

HErrorCode HostTest::Save(HDoc doc, const std::filesystem::path& path, int32_t flags) {
    return model->SaveDocument(doc, flags, Path(path), nullptr);
}

HObject HostTest::Catalog(HDoc doc) {
    HCosDoc cd = nullptr;
    EXPECT_TRUE(Ok(model->GetCosDocument(doc, &cd)));
    HObject catalog = nullptr;
    EXPECT_TRUE(Ok(cos->GetCatalog(cd, &catalog)));
    return catalog;
}

std::string HostTest::InfoEntry(HDoc doc, const std::string& key) {
    char buffer[1000];
    size_t length = 0;
    EXPECT_TRUE(Ok(model->GetDocInfo(doc, key.c_str(), buffer, sizeof buffer, &length)));
    return std::string(buffer, length);
}

} // namespace tesser::host::test
