// The main window of quorel-host: the open documents as tabs (the front one is the host's
// active document and view), the File menu, page navigation and zoom, and the "Extensions" and
// Help > "About Extensions" menus that plug-ins fill.
//
// The window is the host's observer. Changes made through the host mark their document; one
// zero-time timer turns all the marks gathered into one new rendering per document and new
// titles, when control is back in the event loop. A run of the plug-in holds the user-interface
// thread from its start to its end, so the many changes of a run become one re-render after it.
#pragma once

#include "host/Host.h"

#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QTimer>

#include <vector>

class QLabel;
class QMenu;
class QSpinBox;
class QTabWidget;

namespace tesser::app {

class PageView;

class MainWindow : public QMainWindow, private host::HostObserver {
    Q_OBJECT
public:
    explicit MainWindow(host::Host& host);
    ~MainWindow() override;

    // Opens a PDF file as a new front document (one already open comes to the front instead); a
    // failure is shown in a message box.
    bool OpenFile(const QString& path);
    // Save, Save As and Close of the front document; false when nothing was done. Save of an
    // unchanged document writes nothing; a document with signed signatures is saved
    // incrementally, so that they stay valid. When Save cannot replace the file (it may not be
    // changed, or writing failed) it says why and offers Save As.
    bool SaveDocument();
    bool SaveDocumentAs(const QString& path);
    // Asks Save / Discard / Cancel when the document has unsaved changes.
    bool CloseDocument();

    int DocumentCount() const;
    HDoc ActiveDocument() const;
    PageView* ActivePageView() const;
    QString ActivePath() const;

    // Builds the "Extensions" and "About Extensions" menus from the host's menus; called after
    // the plug-ins are loaded.
    void RebuildPlugInMenus();

    // Takes in what the host changed now instead of at the next turn of the event loop.
    void FlushChanges();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // True while a save's progress lets the window repaint: no host call may start then.
    bool inSave_ = false;
    // File > Open Recent: the files opened last, newest first, kept in the window's settings.
    QStringList RecentFiles() const;
    void RememberRecentFile(const QString& path);
    void UpdateRecentFiles();
    QMenu* recentMenu_ = nullptr;

    struct Entry {
        HDoc doc = nullptr;
        QString path;
        PageView* view = nullptr;
    };

    void DocumentChanged(HDoc doc) override;
    void PageContentsChanged(HDoc doc) override;
    void ModelessWindowRegistered(void* window) override;
    void ModelessWindowUnregistered(void* window) override;

    void BuildMenus();
    void ChooseAndOpen();
    bool ChooseAndSaveAs();
    bool WriteDocument(Entry& entry, const QString& path, bool offerSaveAs);
    void Print();
    void FrontChanged();
    void UpdateTitle();
    void UpdateNavigation();
    bool Render(Entry& entry);
    bool IsModified(HDoc doc) const;
    bool ConfirmClose(int tab);
    void CloseTab(int tab);
    Entry* EntryAt(int tab);
    const Entry* Front() const;
    void ShowHostError(const QString& what, const std::exception& error);

    host::Host& host_;
    QTabWidget* tabs_;
    std::vector<Entry> entries_;
    QSet<HDoc> changed_;
    QTimer changeTimer_;
    QMenu* extensionsMenu_ = nullptr;
    QMenu* aboutMenu_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QLabel* pageCountLabel_ = nullptr;
    QList<QAction*> documentActions_;
    bool rendering_ = false;
};

} // namespace tesser::app
