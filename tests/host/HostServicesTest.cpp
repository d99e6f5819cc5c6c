// Handshake, errors, the fault switch, alerts, views, menus and printing to a file.
#include "tests/host/HostTestSupport.h"

#include <algorithm>

namespace tesser::host::test {
namespace {

class HostServices : public HostTest {
protected:
    HErrorCode Import(const char* name, uint32_t version, const void** table) {
        HAtom atom = Atom(name);
        return core->ImportFunctionTable(atom, version, table);
    }
};

TEST_F(HostServices, TablesAreGrantedUpToTheirVersion) {
    const void* table = nullptr;
    EXPECT_TRUE(Ok(Import(HOST_TABLE_COS, HOST_TABLE_VERSION_2_2, &table)));
    EXPECT_EQ(static_cast<const HostCosTable*>(table)->size, sizeof(HostCosTable));
    EXPECT_EQ(Import("Nonsense", HOST_TABLE_VERSION_2_0, &table), kHErrNotFound);
    host.SetTableVersion(HOST_TABLE_COS, HOST_TABLE_VERSION_2_1);
    EXPECT_EQ(Import(HOST_TABLE_COS, HOST_TABLE_VERSION_2_2, &table), kHErrNotFound);
    EXPECT_TRUE(Ok(Import(HOST_TABLE_COS, HOST_TABLE_VERSION_2_1, &table)));
    host.SetTableVersion(HOST_TABLE_WIN, HOST_TABLE_VERSION_2_0);
    EXPECT_EQ(Import(HOST_TABLE_WIN, HOST_TABLE_VERSION_2_2, &table), kHErrNotFound);
    EXPECT_EQ(Import(HOST_TABLE_WIN, HOST_TABLE_VERSION_2_1, &table), kHErrNotFound);
    EXPECT_TRUE(Ok(Import(HOST_TABLE_WIN, HOST_TABLE_VERSION_2_0, &table)));
    host.SetTableVersion(HOST_TABLE_PDMODEL, 0);
    EXPECT_EQ(Import(HOST_TABLE_PDMODEL, HOST_TABLE_VERSION_2_0, &table), kHErrNotFound);
}

TEST_F(HostServices, ErrorTextsForFixedAndUnknownCodes) {
    EXPECT_EQ(Text(kHErrFault), "Injected fault.");
    EXPECT_EQ(Text(kHErrBadParameter), "Bad parameter.");
    EXPECT_NE(Text(987654).find("987654"), std::string::npos);
    char tiny[6];
    core->GetErrorText(kHErrFault, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "Injec");
}

TEST_F(HostServices, FaultSwitchFailsTheNthCallOnly) {
    auto file = dir / "f.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    FaultSwitch::Arm("AcquirePage", 2);
    HPage a = nullptr, b = nullptr, c = nullptr;
    EXPECT_TRUE(Ok(model->AcquirePage(doc, 0, &a)));
    EXPECT_EQ(model->AcquirePage(doc, 1, &b), kHErrFault);
    EXPECT_EQ(b, nullptr);
    EXPECT_TRUE(Ok(model->AcquirePage(doc, 1, &c)));
    model->ReleasePage(a);
    model->ReleasePage(c);
    FaultSwitch::Arm("DictPut", 1);
    HObject n = nullptr;
    cos->NewNull(&n);
    EXPECT_EQ(cos->DictPut(Catalog(doc), Atom("X"), n), kHErrFault);
    model->CloseDocument(doc);
}

TEST_F(HostServices, AlertsGoToTheSink) {
    sink.alertAnswers = {2};
    int32_t answer = 0;
    ASSERT_TRUE(Ok(
        view->ShowAlert(kHAlertError, "Failed to acquire page", "OK", "Cancel", nullptr, &answer)));
    EXPECT_EQ(answer, 2);
    sink.confirmAnswers = {0};
    ASSERT_TRUE(Ok(view->ConfirmAlert("Go on?", &answer)));
    EXPECT_EQ(answer, 0);
    ASSERT_TRUE(Ok(view->ShowNote("Owner password is incorrect")));
    ASSERT_EQ(sink.messages.size(), 3u);
    EXPECT_EQ(sink.messages[0].text, "Failed to acquire page");
    EXPECT_EQ(sink.messages[0].iconKind, kHAlertError);
    EXPECT_EQ(sink.messages[0].buttons, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_EQ(sink.messages[2].kind, RecordingSink::Message::Kind::Note);
}

TEST_F(HostServices, ActiveDocumentAndViews) {
    HDoc active = reinterpret_cast<HDoc>(1);
    ASSERT_TRUE(Ok(view->GetActiveDocument(&active)));
    EXPECT_EQ(active, nullptr);
    auto file = dir / "v.pdf";
    MakePdf(file);
    HDoc doc = OpenOk(file);
    host.SetActiveDocument(doc);
    ASSERT_TRUE(Ok(view->GetActiveDocument(&active)));
    EXPECT_EQ(active, doc);
    HView v = nullptr;
    ASSERT_TRUE(Ok(view->GetActiveView(&v)));
    HDoc shown = nullptr;
    ASSERT_TRUE(Ok(view->GetViewDocument(v, &shown)));
    EXPECT_EQ(shown, doc);
    HView extra = nullptr;
    ASSERT_TRUE(Ok(view->OpenView(doc, &extra)));
    ASSERT_TRUE(Ok(view->CloseView(extra, 1)));
    EXPECT_NE(view->GetViewDocument(extra, &shown), kHErrNone);
    model->CloseDocument(doc);
    ASSERT_TRUE(Ok(view->GetActiveDocument(&active)));
    EXPECT_EQ(active, nullptr);
}

TEST_F(HostServices, DisplayBytesShowTheDocumentAsInMemoryAndReportProgress) {
    auto file = dir / "many.pdf";
    MakeManyPagesPdf(file, 400);
    const std::string password = "pw";
    auto secured = dir / "secured.pdf";
    ASSERT_EQ(Qpdf("--encrypt " + password + " own 256 -- " + Quote(file.string()) + " " +
                   Quote(secured.string()))
                  .exitCode,
              0);
    HDoc doc = OpenOk(secured, password);
    std::vector<int> reported;
    const std::string bytes =
        host.DisplayBytes(doc, [&](int percent) { reported.push_back(percent); });
    // A window can repaint while a long document is written: progress comes more than once, in
    // order, up to the end.
    ASSERT_GE(reported.size(), 2u);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_EQ(reported.back(), 100);
    // What a renderer gets needs no password and holds every page.
    auto shown = dir / "shown.pdf";
    tesser::test::WriteFile(shown, bytes);
    EXPECT_NE(Qpdf("--show-npages " + Quote(shown.string())).output.find("400"), std::string::npos);
    EXPECT_NE(Qpdf("--show-encryption " + Quote(shown.string())).output.find("not encrypted"),
              std::string::npos);
    model->CloseDocument(doc);
}

int g_executed = 0;
void CountCommand(void*) {
    ++g_executed;
}
HBool Disabled(void*) {
    return 0;
}

TEST_F(HostServices, MenusHoldItemsAndRunTheirCommands) {
    HMenuBar bar = nullptr;
    ASSERT_TRUE(Ok(view->GetMenuBar(&bar)));
    HMenu menu = nullptr;
    ASSERT_TRUE(Ok(view->AcquireMenu(bar, "Extensions", &menu)));
    HMenuItem item = nullptr;
    ASSERT_TRUE(Ok(view->NewMenuItem("Tesser Pro...", "KORV:QuorelTesser", nullptr, 0, 0, 0,
                                     nullptr, 1, &item)));
    HCallback cb = nullptr;
    ASSERT_TRUE(Ok(core->MakeCallback(1, reinterpret_cast<void (*)()>(CountCommand), &cb)));
    ASSERT_TRUE(Ok(view->SetMenuItemExecuteProc(item, cb, nullptr)));
    ASSERT_TRUE(Ok(view->AddMenuItem(menu, item, 9999)));
    ASSERT_TRUE(Ok(view->ReleaseMenu(menu)));
    auto items = host.MenuItems("Extensions");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].title, "Tesser Pro...");
    g_executed = 0;
    EXPECT_TRUE(host.ExecuteMenuItem("KORV:QuorelTesser"));
    EXPECT_EQ(g_executed, 1);
    HCallback off = nullptr;
    core->MakeCallback(1, reinterpret_cast<void (*)()>(Disabled), &off);
    view->SetMenuItemEnableProc(item, off, nullptr);
    EXPECT_FALSE(host.ExecuteMenuItem("KORV:QuorelTesser"));
    EXPECT_EQ(g_executed, 1);
    host.RemoveMenu("AboutExtensions");
    EXPECT_EQ(view->AcquireMenu(bar, "AboutExtensions", &menu) == kHErrNone, false);
}

TEST_F(HostServices, PrintToFileWritesTheChosenPagesWithUnsavedChanges) {
    auto file = dir / "print.pdf";
    auto out = dir / "printed.pdf";
    MakePdf(file, PdfSpec{.pages = 4});
    std::string before = tesser::test::ReadFile(file);
    HDoc doc = OpenOk(file);
    // An unsaved change to page 3's contents: a second stream with new text.
    HCosDoc cd = nullptr;
    model->GetCosDocument(doc, &cd);
    HPage page = nullptr;
    ASSERT_TRUE(Ok(model->AcquirePage(doc, 2, &page)));
    HObject dict = nullptr;
    model->GetPageCosObject(page, &dict);
    const char text[] = "BT /F1 12 Tf 72 100 Td (Stamped for print) Tj ET";
    HStream src = nullptr;
    support->OpenMemoryReadStream(text, sizeof text - 1, &src);
    HObject stream = nullptr;
    ASSERT_TRUE(Ok(cos->NewStream(cd, 1, src, 0, 1, nullptr, nullptr, sizeof text - 1, &stream)));
    support->CloseStream(src);
    HObject contents = nullptr;
    cos->DictGet(dict, Atom("Contents"), &contents);
    HObject array = nullptr;
    cos->NewArray(cd, 0, 2, &array);
    cos->ArrayPut(array, 0, contents);
    cos->ArrayPut(array, 1, stream);
    ASSERT_TRUE(Ok(cos->DictPut(dict, Atom("Contents"), array)));
    model->ReleasePage(page);

    host.SetPrintToFile(out);
    HView v = nullptr;
    ASSERT_TRUE(Ok(view->OpenView(doc, &v)));
    int32_t pref = -1;
    ASSERT_TRUE(Ok(view->GetAppPreference(15, &pref)));
    ASSERT_TRUE(Ok(view->PrintPages(v, 1, 2, pref, 0, 0)));
    EXPECT_NE(view->PrintPages(v, 2, 4, pref, 0, 0), kHErrNone);
    view->CloseView(v, 1);
    model->CloseDocument(doc);
    EXPECT_TRUE(QpdfCheckPasses(out));
    auto info = Shell("pdfinfo " + Quote(out));
    EXPECT_NE(info.output.find("Pages:           2"), std::string::npos) << info.output;
    auto words = Shell("pdftotext " + Quote(out) + " -").output;
    EXPECT_NE(words.find("Page 2"), std::string::npos);
    EXPECT_NE(words.find("Stamped for print"), std::string::npos);
    EXPECT_EQ(words.find("Page 1"), std::string::npos);
    EXPECT_EQ(tesser::test::ReadFile(file), before) << "printing saves nothing";
}

TEST_F(HostServices, ModelessWindowsAreRegistered) {
    int window = 0;
    ASSERT_TRUE(Ok(win->RegisterModelessWindow(&window)));
    EXPECT_EQ(host.ModelessWindows().size(), 1u);
    ASSERT_TRUE(Ok(win->UnregisterModelessWindow(&window)));
    EXPECT_TRUE(host.ModelessWindows().empty());
    EXPECT_NE(win->UnregisterModelessWindow(&window), kHErrNone);
}

TEST_F(HostServices, BadHandlesAreRefused) {
    HPage page = nullptr;
    EXPECT_NE(model->AcquirePage(reinterpret_cast<HDoc>(&page), 0, &page), kHErrNone);
    int32_t n = 0;
    EXPECT_NE(model->GetPageCount(nullptr, &n), kHErrNone);
    EXPECT_NE(model->ReleasePage(nullptr), kHErrNone);
    EXPECT_NE(cos->ArrayLength(nullptr, &n), kHErrNone);
}

} // namespace
} // namespace tesser::host::test
