// The host over QPDF: one object that owns the core table and the five function tables and the
// state behind them (atoms, error texts, documents, views, menus, the message sink).
//
// A program makes one Host, sets its message sink, and hands GetHostCoreTable() to the plug-in
// (ConnectHost in-process, or the handshake record for a loaded module). There is at most one
// Host alive at a time: the C tables reach it through a process-wide pointer.
//
//     tesser::host::Host host;
//     tesser::host::TerminalSink sink;
//     host.SetMessageSink(&sink);
//     tesser::hostcalls::ConnectHost(host.GetHostCoreTable(), 1);
//
// All calls happen on one thread (the host's user-interface thread).
//
// Object and font handles are records in one table of the host, reused once freed. A handle
// carries its record's generation, so a handle used after its end (its object scope ended, its
// document closed) is refused, never misread. Indirect objects have one handle per document;
// direct ones live until their object scope ends or their document closes (the lifetimes are
// spelled out with the "Cos" table in hostapi/HostApi.h).
#pragma once

#include "host/MessageSink.h"
#include "hostapi/HostApi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tesser::host {

// What the host tells the program that embeds it about documents and windows. Called on the
// host's thread from inside table operations, often many times in one run: an observer notes
// what happened and acts later (the desktop host re-renders once, when the run has ended). It
// must not throw and must not call the host's tables.
class HostObserver {
public:
    virtual ~HostObserver() = default;
    // Something of the document changed through the host (objects, pages, information,
    // security); its unsaved-changes flag is set.
    virtual void DocumentChanged(HDoc) {}
    // NotifyPageContentsChanged was called for a page of the document.
    virtual void PageContentsChanged(HDoc) {}
    // A plug-in registered or unregistered a modeless window (the toolkit's handle).
    virtual void ModelessWindowRegistered(void*) {}
    virtual void ModelessWindowUnregistered(void*) {}
};

// One item of an in-memory menu, for programs and tests.
struct MenuItemInfo {
    std::string title;
    std::string name;
    bool hasExecuteProc = false;
    bool hasEnableProc = false;
};

class Host {
public:
    // With glibc, sets the allocator's trim threshold to 16 MB for the whole process (see
    // Host.cpp): freed memory up to that much stays with the process.
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The live host, or null.
    static Host* Current();

    const HostCoreTable* GetHostCoreTable() const;

    // The sink stays owned by the caller and must outlive its use; null drops messages (alerts
    // then answer 1, confirmations 0).
    void SetMessageSink(MessageSink* sink);
    MessageSink* GetMessageSink() const;

    // The observer stays owned by the caller; null (the default) tells nobody.
    void SetObserver(HostObserver* observer);

    // The document shown in the front window. Setting a document gives it a view that
    // GetActiveView answers; null clears both. CloseDocument of the active document clears it.
    void SetActiveDocument(HDoc doc);
    HDoc GetActiveDocument() const;
    HView GetActiveView() const;

    // The toolkit's main window, answered by the "Win" table's GetMainWindow.
    void SetMainWindow(void* window);

    // Table versions granted by ImportFunctionTable: a request is granted when it is at most the
    // table's version (0x20002 for every table by default). 0 refuses the table.
    void SetTableVersion(const std::string& tableName, uint32_t version);

    // Menus. The menu bar starts with "Extensions" and "AboutExtensions" (empty).
    void AddMenu(const std::string& menuName);
    void RemoveMenu(const std::string& menuName);
    std::vector<MenuItemInfo> MenuItems(const std::string& menuName) const;
    // Calls the item's enable test (true when it has none).
    bool IsMenuItemEnabled(const std::string& itemName) const;
    // Calls the item's execute procedure if it is enabled; false when there is no such item,
    // it is disabled or it has no procedure.
    bool ExecuteMenuItem(const std::string& itemName);
    // Menus acquired (AcquireMenu) and not yet released.
    size_t AcquiredMenuCount() const;

    // Printing. With a print-to-file path set, PrintPages writes the PDF it would print there
    // (atomically) instead of submitting it. The destination names a CUPS queue; empty means
    // the default destination.
    void SetPrintToFile(const std::string& path);
    void SetPrintDestination(const std::string& destination);

    // Called with the percentage written while a document is saved in full (SaveDocument, from
    // the plug-in's runs too), so that a window can repaint and take an Abort click during a
    // long save. Empty: nothing is called.
    void SetSaveProgress(std::function<void(int)> progress);

    // Values answered by GetAppPreference; a preference never set answers 0.
    void SetAppPreference(int32_t preference, int32_t value);

    // The document as it is in memory now, every change included, as the bytes of a PDF file
    // without encryption: what a renderer is handed to show it. Throws std::runtime_error with
    // the PDF library's text when the document cannot be written, std::invalid_argument for a
    // handle that is not an open document. progress, when given, is called now and then with
    // the percentage written, so that a window can repaint while a long document is written.
    std::string DisplayBytes(HDoc doc, const std::function<void(int)>& progress = {}) const;

    // Whether the open document has signed signature fields: a full save would break their
    // signatures, an incremental save (kHSaveIncremental) keeps them. False for a handle that
    // is not an open document.
    bool HasSignedSignatures(HDoc doc) const;

    // The modeless windows registered by the plug-in, in order of registration.
    std::vector<void*> ModelessWindows() const;

    // Recovery warnings QPDF gave while opening the document (damaged files).
    std::vector<std::string> DocumentWarnings(HDoc doc) const;

    // Convenience for programs: the text of a host error code.
    std::string ErrorText(HErrorCode code) const;

    // The object and font handles alive, of every document and of none (tests and benchmarks
    // use it to see that a pass keeps them bounded).
    size_t ObjectHandleCount() const;

    struct State;
    State& state() { return *state_; }

private:
    std::unique_ptr<State> state_;
};

} // namespace tesser::host
