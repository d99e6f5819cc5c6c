// The "AcroView" and "Win" tables, headless: a view is a document shown nowhere, alerts go to
// the message sink, printing goes to CUPS or to a file. The menus are in Menus.cpp.
#include "host/CupsLibrary.h"
#include "host/DocumentSaver.h"
#include "host/HostState.h"

#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cstdlib>
#include <unistd.h>

namespace tesser::host {

namespace {

HErrorCode GetActiveDocument(HDoc* doc) {
    return Entry("GetActiveDocument", [&] {
        CheckOut(doc);
        *doc = S().activeView != nullptr ? ToHandle(S().activeView->doc) : nullptr;
    });
}

HErrorCode GetActiveView(HView* view) {
    return Entry("GetActiveView", [&] {
        CheckOut(view);
        *view = reinterpret_cast<HView>(S().activeView);
    });
}

HErrorCode GetViewDocument(HView view, HDoc* doc) {
    return Entry("GetViewDocument", [&] {
        CheckOut(doc);
        *doc = ToHandle(CheckView(view)->doc);
    });
}

HErrorCode OpenView(HDoc doc, HView* view) {
    return Entry("OpenView", [&] {
        CheckOut(view);
        *view = reinterpret_cast<HView>(
            S().views.Add(std::make_unique<ViewRec>(ViewRec{kMagicView, CheckDoc(doc)})));
    });
}

HErrorCode CloseView(HView view, HBool) {
    return Entry("CloseView", [&] {
        ViewRec* rec = CheckView(view);
        if (S().activeView == rec) {
            S().activeView = nullptr;
        }
        S().views.Erase(rec);
    });
}

HErrorCode GetAppPreference(int32_t preference, int32_t* value) {
    return Entry("GetAppPreference", [&] {
        CheckOut(value);
        auto it = S().appPreferences.find(preference);
        *value = it != S().appPreferences.end() ? it->second : 0;
    });
}

HErrorCode PrintPages(HView view, int32_t first, int32_t last, int32_t, HBool, HBool) {
    return Entry("PrintPages", [&] {
        ViewRec* rec = CheckView(view);
        PrintDocumentPages(*rec->doc, first, last);
    });
}

// ---- Alerts ----

HErrorCode ShowAlert(int32_t iconKind, const char* message, const char* button1,
                     const char* button2, const char* button3, int32_t* answer) {
    return Entry("ShowAlert", [&] {
        CheckOut(message);
        std::vector<std::string> buttons;
        for (const char* b : {button1, button2, button3}) {
            if (b != nullptr) {
                buttons.emplace_back(b);
            }
        }
        int32_t chosen = 1;
        if (MessageSink* sink = S().sink) {
            chosen = sink->ShowAlert(iconKind, message, buttons);
        }
        if (answer != nullptr) {
            *answer = chosen;
        }
    });
}

HErrorCode ConfirmAlert(const char* message, int32_t* answer) {
    return Entry("ConfirmAlert", [&] {
        CheckOut(message);
        CheckOut(answer);
        MessageSink* sink = S().sink;
        *answer = sink != nullptr ? (sink->ConfirmAlert(message) != 0 ? 1 : 0) : 0;
    });
}

HErrorCode ShowNote(const char* message) {
    return Entry("ShowNote", [&] {
        CheckOut(message);
        if (MessageSink* sink = S().sink) {
            sink->ShowNote(message);
        }
    });
}

// ---- Win ----

HErrorCode GetMainWindow(void** window) {
    return Entry("GetMainWindow", [&] {
        CheckOut(window);
        *window = S().mainWindow;
    });
}

int g_hostWindow;

HErrorCode CreateHostWindow(int32_t, int32_t, void*, HExtensionID, void*, HHostWindow* hostWindow) {
    return Entry("CreateHostWindow", [&] {
        CheckOut(hostWindow);
        *hostWindow = reinterpret_cast<HHostWindow>(&g_hostWindow);
    });
}

HErrorCode EndHostWindow() {
    return Entry("EndHostWindow", [] {});
}

HErrorCode RegisterModelessWindow(void* window) {
    return Entry("RegisterModelessWindow", [&] {
        CheckOut(window);
        S().modeless.push_back(window);
        if (HostObserver* observer = S().observer) {
            observer->ModelessWindowRegistered(window);
        }
    });
}

HErrorCode UnregisterModelessWindow(void* window) {
    return Entry("UnregisterModelessWindow", [&] {
        auto& list = S().modeless;
        auto it = std::find(list.begin(), list.end(), window);
        if (it == list.end()) {
            throw HostException(kHErrNotFound, "The window is not registered.");
        }
        list.erase(it);
        if (HostObserver* observer = S().observer) {
            observer->ModelessWindowUnregistered(window);
        }
    });
}

} // namespace

void PrintDocumentPages(Document& doc, int32_t first, int32_t last) {
    QPDF& source = doc.pdf();
    const auto& pages = source.getAllPages();
    int32_t count = static_cast<int32_t>(pages.size());
    if (first < 0 || last >= count || first > last) {
        throw HostException(kHErrBadParameter, "Cannot print pages " + std::to_string(first + 1) +
                                                   " to " + std::to_string(last + 1) + " of " +
                                                   doc.path + " (it has " + std::to_string(count) +
                                                   " pages).");
    }
    // The pages as they are now, changes made in memory included.
    QPDF out;
    out.emptyPDF();
    QPDFPageDocumentHelper helper(out);
    for (int32_t i = first; i <= last; ++i) {
        helper.addPage(QPDFPageObjectHelper(pages[static_cast<size_t>(i)]), false);
    }
    const std::string& toFile = S().printToFile;
    if (!toFile.empty()) {
        WritePdfAtomically(out, toFile);
        return;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string folder =
        std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/tesser-print-XXXXXX";
    std::vector<char> name(folder.begin(), folder.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        Fail("Cannot print " + doc.path + ": no temporary folder can be made in " + folder);
    }
    std::string dir = name.data();
    std::string path = dir + "/print.pdf";
    try {
        WritePdfAtomically(out, path);
        const CupsLibrary& cups = Cups();
        const std::string& dest = S().printDestination;
        const char* printer = dest.empty() ? cups.GetDefault() : dest.c_str();
        if (printer == nullptr) {
            Fail("Cannot print " + doc.path + ": there is no default printer.");
        }
        int job = cups.PrintFile(printer, path.c_str(), doc.path.c_str(), 0, nullptr);
        if (job == 0) {
            Fail("Cannot print " + doc.path + " on " + printer + ": " + cups.LastErrorString());
        }
    } catch (...) {
        ::unlink(path.c_str());
        ::rmdir(dir.c_str());
        throw;
    }
    ::unlink(path.c_str());
    ::rmdir(dir.c_str());
}

void FillViewTable(HostViewTable& t) {
    t.size = sizeof(HostViewTable);
    t.version = HOST_TABLE_VERSION_2_2;
    t.GetActiveDocument = GetActiveDocument;
    t.GetActiveView = GetActiveView;
    t.GetViewDocument = GetViewDocument;
    t.OpenView = OpenView;
    t.CloseView = CloseView;
    t.GetAppPreference = GetAppPreference;
    t.PrintPages = PrintPages;
    FillMenuFunctions(t);
    t.ShowAlert = ShowAlert;
    t.ConfirmAlert = ConfirmAlert;
    t.ShowNote = ShowNote;
}

void FillWinTable(HostWinTable& t) {
    t.size = sizeof(HostWinTable);
    t.version = HOST_TABLE_VERSION_2_2;
    t.GetMainWindow = GetMainWindow;
    t.CreateHostWindow = CreateHostWindow;
    t.EndHostWindow = EndHostWindow;
    t.RegisterModelessWindow = RegisterModelessWindow;
    t.UnregisterModelessWindow = UnregisterModelessWindow;
}

} // namespace tesser::host
