#include "app/MainWindow.h"

#include "app/PageView.h"
#include "app/TextConversion.h"
#include "hostcalls/HostCalls.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolBar>

#include <memory>

namespace tesser::app {

namespace {

using hostcalls::HostError;

// Offers the empty password first, then asks for one, until the file opens or the user gives up.
// What the password prompt of a document being opened needs.
struct PasswordAsker {
    QWidget* window;
    QString file; // its name, as the prompt shows it
};

HBool AskForPassword(HDoc doc, void* clientData) {
    const auto* asker = static_cast<const PasswordAsker*>(clientData);
    try {
        if (hostcalls::Authorise(doc, kHPermOpen, "") & kHPermOpen) {
            return 1;
        }
        QString prompt = QStringLiteral("%1 is protected. Password:").arg(asker->file);
        for (;;) {
            QInputDialog ask(asker->window);
            ask.setObjectName(QStringLiteral("passwordDialog"));
            ask.setWindowTitle(QApplication::applicationDisplayName());
            ask.setLabelText(prompt);
            ask.setTextEchoMode(QLineEdit::Password);
            if (ask.exec() != QDialog::Accepted) {
                return 0;
            }
            if (hostcalls::Authorise(doc, kHPermOpen, ToWindows1252(ask.textValue())) &
                kHPermOpen) {
                return 1;
            }
            prompt = QStringLiteral("That password does not open %1. Password:").arg(asker->file);
        }
    } catch (...) {
        return 0;
    }
}

// The window's own settings: its geometry and the recent files
// ($XDG_CONFIG_HOME/quorel-host/quorel-host.conf).
QSettings WindowSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("quorel-host"),
                     QStringLiteral("quorel-host"));
}

constexpr int kRecentFiles = 8;

// Save flags of File > Save: a full rewrite that drops unreferenced objects.
constexpr int32_t kSaveFlags = kHSaveFull | kHSaveCollectGarbage;

} // namespace

MainWindow::MainWindow(host::Host& host) : host_(host), tabs_(new QTabWidget(this)) {
    setObjectName(QStringLiteral("mainWindow"));
    setAcceptDrops(true);
    tabs_->setObjectName(QStringLiteral("documentTabs"));
    tabs_->setAccessibleName(QStringLiteral("Documents"));
    tabs_->setDocumentMode(true);
    setCentralWidget(tabs_);
    connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::FrontChanged);

    changeTimer_.setSingleShot(true);
    changeTimer_.setInterval(0);
    connect(&changeTimer_, &QTimer::timeout, this, &MainWindow::FlushChanges);

    BuildMenus();
    // The window reaches the host through the same tables as a plug-in.
    hostcalls::ConnectHost(host_.GetHostCoreTable(), 0);
    host_.SetObserver(this);
    host_.SetMainWindow(this);
    // A long save repaints the windows every 100 ms. Inside a modal session (a plug-in's run)
    // input is taken too, which reaches only that session and its progress window, so an Abort
    // click is acknowledged during the save; otherwise the window takes no input until the save
    // is done (it must not start another host call inside this one).
    host_.SetSaveProgress([this, clock = std::make_shared<QElapsedTimer>()](int) {
        if (inSave_ || (clock->isValid() && clock->elapsed() < 100)) {
            return;
        }
        clock->start();
        inSave_ = true;
        QApplication::processEvents(QApplication::activeModalWidget() != nullptr
                                        ? QEventLoop::AllEvents
                                        : QEventLoop::ExcludeUserInputEvents);
        inSave_ = false;
    });
    // Within the screen it opens on, whatever its size and scale.
    QSize size(900, 760);
    if (QScreen* shown = screen()) {
        size = size.boundedTo(shown->availableGeometry().size() * 0.9);
    }
    resize(size);
    restoreGeometry(WindowSettings().value(QStringLiteral("window/geometry")).toByteArray());
    UpdateRecentFiles();
    UpdateTitle();
    UpdateNavigation();
}

MainWindow::~MainWindow() {
    host_.SetSaveProgress({});
    host_.SetObserver(nullptr);
    host_.SetActiveDocument(nullptr);
    for (Entry& entry : entries_) {
        try {
            hostcalls::CloseDocument(entry.doc);
        } catch (const HostError&) {
        }
    }
    hostcalls::DisconnectHost();
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    auto add = [this](QMenu* menu, const QString& text, const QString& name, QKeySequence shortcut,
                      auto slot, bool needsDocument) {
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, slot);
        if (needsDocument) {
            documentActions_.append(action);
        }
        return action;
    };
    add(file, QStringLiteral("&Open..."), QStringLiteral("openAction"), QKeySequence::Open,
        &MainWindow::ChooseAndOpen, false);
    recentMenu_ = file->addMenu(QStringLiteral("Open &Recent"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    add(
        file, QStringLiteral("&Save"), QStringLiteral("saveAction"), QKeySequence::Save,
        [this] { SaveDocument(); }, true);
    add(file, QStringLiteral("Save &As..."), QStringLiteral("saveAsAction"), QKeySequence::SaveAs,
        &MainWindow::ChooseAndSaveAs, true);
    add(file, QStringLiteral("&Print..."), QStringLiteral("printAction"), QKeySequence::Print,
        &MainWindow::Print, true);
    add(
        file, QStringLiteral("&Close"), QStringLiteral("closeAction"), QKeySequence::Close,
        [this] { CloseDocument(); }, true);
    file->addSeparator();
    add(file, QStringLiteral("&Quit"), QStringLiteral("quitAction"), QKeySequence::Quit,
        &MainWindow::close, false);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));
    add(
        view, QStringLiteral("Zoom &In"), QStringLiteral("zoomInAction"), QKeySequence::ZoomIn,
        [this] {
            if (PageView* v = ActivePageView())
                v->ZoomIn();
        },
        true);
    add(
        view, QStringLiteral("Zoom &Out"), QStringLiteral("zoomOutAction"), QKeySequence::ZoomOut,
        [this] {
            if (PageView* v = ActivePageView())
                v->ZoomOut();
        },
        true);
    add(
        view, QStringLiteral("&Actual Size"), QStringLiteral("actualSizeAction"),
        QKeySequence(Qt::CTRL | Qt::Key_0),
        [this] {
            if (PageView* v = ActivePageView())
                v->SetZoom(1.0);
        },
        true);
    add(
        view, QStringLiteral("Fit &Width"), QStringLiteral("fitWidthAction"),
        QKeySequence(Qt::CTRL | Qt::Key_2),
        [this] {
            if (PageView* v = ActivePageView())
                v->FitWidth();
        },
        true);
    add(
        view, QStringLiteral("Fit &Page"), QStringLiteral("fitPageAction"),
        QKeySequence(Qt::CTRL | Qt::Key_1),
        [this] {
            if (PageView* v = ActivePageView())
                v->FitPage();
        },
        true);
    // Ctrl+= zooms in too: on most keyboards "+" needs Shift.
    findChild<QAction*>(QStringLiteral("zoomInAction"))
        ->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    view->addSeparator();
    add(
        view, QStringLiteral("&Previous Page"), QStringLiteral("previousPageAction"),
        QKeySequence(Qt::Key_PageUp | Qt::ALT),
        [this] {
            if (PageView* v = ActivePageView())
                v->GoToPage(v->CurrentPage() - 1);
        },
        true);
    add(
        view, QStringLiteral("&Next Page"), QStringLiteral("nextPageAction"),
        QKeySequence(Qt::Key_PageDown | Qt::ALT),
        [this] {
            if (PageView* v = ActivePageView())
                v->GoToPage(v->CurrentPage() + 1);
        },
        true);

    extensionsMenu_ = menuBar()->addMenu(QStringLiteral("E&xtensions"));
    extensionsMenu_->setObjectName(QStringLiteral("Extensions"));
    connect(extensionsMenu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* action : extensionsMenu_->actions()) {
            action->setEnabled(host_.IsMenuItemEnabled(action->objectName().toStdString()));
        }
    });
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    aboutMenu_ = help->addMenu(QStringLiteral("About &Extensions"));
    aboutMenu_->setObjectName(QStringLiteral("AboutExtensions"));

    QToolBar* bar = addToolBar(QStringLiteral("Navigation"));
    bar->setObjectName(QStringLiteral("navigationBar"));
    bar->setMovable(false);
    auto* pageLabel = new QLabel(QStringLiteral("&Page "), bar);
    pageBox_ = new QSpinBox(bar);
    pageBox_->setObjectName(QStringLiteral("pageNumber"));
    pageBox_->setAccessibleName(QStringLiteral("Page"));
    pageLabel->setBuddy(pageBox_);
    pageCountLabel_ = new QLabel(bar);
    pageCountLabel_->setObjectName(QStringLiteral("pageCount"));
    bar->addWidget(pageLabel);
    bar->addWidget(pageBox_);
    bar->addWidget(pageCountLabel_);
    bar->addSeparator();
    for (const char* name : {"zoomOutAction", "zoomInAction"}) {
        bar->addAction(findChild<QAction*>(QString::fromLatin1(name)));
    }
    connect(pageBox_, &QSpinBox::editingFinished, this, [this] {
        if (PageView* v = ActivePageView()) {
            v->GoToPage(pageBox_->value() - 1);
        }
    });
    // Ctrl+G: the page number box, its number selected, ready for another.
    QAction* goTo =
        findChild<QMenu*>(QStringLiteral("viewMenu"))->addAction(QStringLiteral("&Go to Page..."));
    goTo->setObjectName(QStringLiteral("goToPageAction"));
    goTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(goTo, &QAction::triggered, this, [this] {
        pageBox_->setFocus(Qt::ShortcutFocusReason);
        pageBox_->selectAll();
    });
    documentActions_.append(goTo);
}

void MainWindow::RebuildPlugInMenus() {
    auto fill = [this](QMenu* menu, const std::string& hostMenu) {
        menu->clear();
        for (const host::MenuItemInfo& item : host_.MenuItems(hostMenu)) {
            QAction* action = menu->addAction(FromWindows1252(item.title));
            action->setObjectName(QString::fromStdString(item.name));
            const std::string name = item.name;
            connect(action, &QAction::triggered, this, [this, name] {
                host_.ExecuteMenuItem(name);
                // What the command changed (the dialog clears flags on its way out) shows now.
                FlushChanges();
                UpdateTitle();
            });
        }
        menu->setEnabled(!menu->actions().isEmpty());
    };
    fill(extensionsMenu_, "Extensions");
    fill(aboutMenu_, "AboutExtensions");
}

bool MainWindow::OpenFile(const QString& path) {
    QString absolute = QFileInfo(path).absoluteFilePath();
    // A file already open (by whatever path or link) comes to the front instead of a second copy.
    const QString canonical = QFileInfo(absolute).canonicalFilePath();
    for (const Entry& open : entries_) {
        if (!canonical.isEmpty() && QFileInfo(open.path).canonicalFilePath() == canonical) {
            tabs_->setCurrentIndex(tabs_->indexOf(open.view));
            return true;
        }
    }
    HDoc doc = nullptr;
    try {
        HFileSys fs = hostcalls::GetDefaultFileSystem();
        hostcalls::PathHandle hostPath(fs,
                                       hostcalls::PathFromPlatformPath(fs, absolute.toStdString()));
        PasswordAsker asker{this, QFileInfo(absolute).fileName()};
        doc = hostcalls::OpenDocument(hostPath.get(), fs, &AskForPassword, &asker, false);
    } catch (const HostError& e) {
        ShowHostError(QStringLiteral("Cannot open %1.").arg(absolute), e);
        return false;
    }
    Entry entry{doc, absolute, new PageView(tabs_)};
    entry.view->setObjectName(QStringLiteral("pageView"));
    connect(entry.view, &PageView::currentPageChanged, this, &MainWindow::UpdateNavigation);
    entries_.push_back(entry);
    if (!Render(entries_.back())) {
        QMessageBox::warning(this, QApplication::applicationDisplayName(),
                             QStringLiteral("The pages of %1 cannot be shown.").arg(absolute));
    }
    RememberRecentFile(absolute);
    int tab = tabs_->addTab(entry.view, QFileInfo(absolute).fileName());
    tabs_->setTabToolTip(tab, absolute);
    tabs_->setCurrentIndex(tab);
    FrontChanged();
    return true;
}

bool MainWindow::Render(Entry& entry) {
    if (rendering_) {
        // Asked again while the window repaints during a rendering: done once that one ends.
        DocumentChanged(entry.doc);
        return true;
    }
    rendering_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{rendering_};
    try {
        // A long document takes a while to write: the window repaints meanwhile, and input
        // waits until the pages are shown again.
        std::string bytes = host_.DisplayBytes(entry.doc, [](int) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
        bool ok = entry.view->SetDocumentBytes(
            QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (entry.view == ActivePageView()) {
            UpdateNavigation();
        }
        return ok;
    } catch (const std::exception&) {
        entry.view->SetDocumentBytes({});
        return false;
    }
}

int MainWindow::DocumentCount() const {
    return static_cast<int>(entries_.size());
}

const MainWindow::Entry* MainWindow::Front() const {
    int tab = tabs_->currentIndex();
    return tab >= 0 && tab < static_cast<int>(entries_.size()) ? &entries_[tab] : nullptr;
}

MainWindow::Entry* MainWindow::EntryAt(int tab) {
    return tab >= 0 && tab < static_cast<int>(entries_.size()) ? &entries_[tab] : nullptr;
}

HDoc MainWindow::ActiveDocument() const {
    return Front() ? Front()->doc : nullptr;
}
PageView* MainWindow::ActivePageView() const {
    return Front() ? Front()->view : nullptr;
}
QString MainWindow::ActivePath() const {
    return Front() ? Front()->path : QString();
}

void MainWindow::FrontChanged() {
    HDoc doc = ActiveDocument();
    if (host_.GetActiveDocument() != doc || doc == nullptr) {
        host_.SetActiveDocument(doc);
    }
    for (QAction* action : documentActions_) {
        action->setEnabled(doc != nullptr);
    }
    UpdateTitle();
    UpdateNavigation();
}

bool MainWindow::IsModified(HDoc doc) const {
    try {
        return (hostcalls::GetDocumentFlags(doc) & kHDocNeedsSave) != 0;
    } catch (const HostError&) {
        return false;
    }
}

void MainWindow::UpdateTitle() {
    const QString app = QApplication::applicationDisplayName();
    for (size_t i = 0; i < entries_.size(); ++i) {
        QString name = QFileInfo(entries_[i].path).fileName();
        tabs_->setTabText(static_cast<int>(i), IsModified(entries_[i].doc) ? name + "*" : name);
    }
    const Entry* front = Front();
    if (front == nullptr) {
        setWindowTitle(app);
        setWindowModified(false);
        return;
    }
    bool modified = IsModified(front->doc);
    setWindowTitle(QStringLiteral("%1%2 - %3")
                       .arg(QFileInfo(front->path).fileName(),
                            modified ? QStringLiteral("*") : QString(), app));
}

void MainWindow::UpdateNavigation() {
    PageView* view = ActivePageView();
    int count = view ? view->PageCount() : 0;
    pageBox_->setEnabled(count > 0);
    pageBox_->setRange(count > 0 ? 1 : 0, count);
    pageBox_->setValue(view ? view->CurrentPage() + 1 : 0);
    pageCountLabel_->setText(QStringLiteral(" of %1").arg(count));
}

void MainWindow::DocumentChanged(HDoc doc) {
    changed_.insert(doc);
    if (!changeTimer_.isActive()) {
        changeTimer_.start();
    }
}

void MainWindow::PageContentsChanged(HDoc doc) {
    DocumentChanged(doc);
}

void MainWindow::FlushChanges() {
    changeTimer_.stop();
    if (inSave_) {
        // Inside a save's repaint: rendering asks the host for the document's bytes, which must
        // wait until the save is done.
        QTimer::singleShot(50, this, &MainWindow::FlushChanges);
        return;
    }
    if (changed_.isEmpty()) {
        return;
    }
    QSet<HDoc> changed;
    changed.swap(changed_);
    for (Entry& entry : entries_) {
        if (changed.contains(entry.doc)) {
            Render(entry);
        }
    }
    UpdateTitle();
}

void MainWindow::ModelessWindowRegistered(void* window) {
    auto* widget = static_cast<QWidget*>(window);
    // A window of its own stays above the main window; one owned by a plug-in's dialog already
    // belongs to that dialog's modal session and takes its input there.
    if (widget->parentWidget() == nullptr) {
        widget->setParent(this, Qt::Tool);
    }
    widget->raise();
    widget->activateWindow();
}

void MainWindow::ModelessWindowUnregistered(void*) {}

void MainWindow::ChooseAndOpen() {
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Open"), {}, QStringLiteral("PDF files (*.pdf *.PDF)"));
    for (const QString& path : paths) {
        OpenFile(path);
    }
}

bool MainWindow::SaveDocument() {
    Entry* front = EntryAt(tabs_->currentIndex());
    if (front == nullptr) {
        return false;
    }
    if (!IsModified(front->doc)) {
        return true; // the file already holds what is shown: rewriting it would only change it
    }
    return WriteDocument(*front, front->path, true);
}

bool MainWindow::SaveDocumentAs(const QString& path) {
    Entry* front = EntryAt(tabs_->currentIndex());
    return front != nullptr && WriteDocument(*front, QFileInfo(path).absoluteFilePath(), false);
}

bool MainWindow::WriteDocument(Entry& entry, const QString& path, bool offerSaveAs) {
    // A full rewrite breaks the signatures of signed fields; appending the change keeps them.
    const int32_t flags = host_.HasSignedSignatures(entry.doc) ? kHSaveIncremental : kSaveFlags;
    try {
        HFileSys fs = hostcalls::GetDefaultFileSystem();
        hostcalls::PathHandle hostPath(fs, hostcalls::PathFromPlatformPath(fs, path.toStdString()));
        hostcalls::SaveDocument(entry.doc, flags, hostPath.get(), fs);
    } catch (const HostError& e) {
        const QString text = QStringLiteral("Cannot save %1.").arg(path);
        if (!offerSaveAs) {
            ShowHostError(text, e);
            return false;
        }
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                        text + "\n" + QString::fromStdString(e.what()) +
                            QStringLiteral("\n\nSave the document under another name?"),
                        QMessageBox::Cancel, this);
        box.setObjectName(QStringLiteral("saveFailedBox"));
        QPushButton* saveAs = box.addButton(QStringLiteral("Save &As..."), QMessageBox::AcceptRole);
        saveAs->setObjectName(QStringLiteral("saveAsButton"));
        box.setDefaultButton(saveAs);
        box.exec();
        return box.clickedButton() == saveAs && ChooseAndSaveAs();
    }
    entry.path = path;
    const int tab = tabs_->indexOf(entry.view);
    tabs_->setTabToolTip(tab, path);
    UpdateTitle();
    return true;
}

bool MainWindow::ChooseAndSaveAs() {
    QFileDialog chooser(this, QStringLiteral("Save As"), ActivePath(),
                        QStringLiteral("PDF files (*.pdf *.PDF)"));
    chooser.setObjectName(QStringLiteral("saveAsDialog"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return false;
    }
    return SaveDocumentAs(chooser.selectedFiles().constFirst());
}

void MainWindow::Print() {
    HView view = host_.GetActiveView();
    PageView* pages = ActivePageView();
    if (view == nullptr || pages == nullptr) {
        return;
    }
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("printDialog"));
    dialog.setMinMax(1, std::max(1, pages->PageCount()));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // The queue chosen here is where the host prints, the plug-in's printing included.
    host_.SetPrintDestination(printer.printerName().toStdString());
    int first = 0;
    int last = pages->PageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange) {
        first = printer.fromPage() - 1;
        last = printer.toPage() - 1;
    }
    try {
        hostcalls::PrintPages(view, first, last, hostcalls::GetAppPreference(kHPrefPrint), false,
                              false);
    } catch (const HostError& e) {
        ShowHostError(QStringLiteral("Cannot print %1.").arg(ActivePath()), e);
    }
}

bool MainWindow::ConfirmClose(int tab) {
    Entry* entry = EntryAt(tab);
    if (entry == nullptr || !IsModified(entry->doc)) {
        return true;
    }
    tabs_->setCurrentIndex(tab);
    QMessageBox box(
        QMessageBox::Warning, QApplication::applicationDisplayName(),
        QStringLiteral("%1 has unsaved changes. Save them?").arg(QFileInfo(entry->path).fileName()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("unsavedChangesBox"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveDocument();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void MainWindow::CloseTab(int tab) {
    Entry entry = entries_[static_cast<size_t>(tab)];
    if (host_.GetActiveDocument() == entry.doc) {
        host_.SetActiveDocument(nullptr);
    }
    entries_.erase(entries_.begin() + tab);
    tabs_->removeTab(tab);
    delete entry.view;
    changed_.remove(entry.doc);
    try {
        hostcalls::CloseDocument(entry.doc);
    } catch (const HostError&) {
    }
    FrontChanged();
}

bool MainWindow::CloseDocument() {
    int tab = tabs_->currentIndex();
    if (tab < 0 || !ConfirmClose(tab)) {
        return false;
    }
    CloseTab(tab);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    while (!entries_.empty()) {
        int tab = tabs_->currentIndex() >= 0 ? tabs_->currentIndex() : 0;
        if (!ConfirmClose(tab)) {
            event->ignore();
            return;
        }
        CloseTab(tab);
    }
    WindowSettings().setValue(QStringLiteral("window/geometry"), saveGeometry());
    event->accept();
}

QStringList MainWindow::RecentFiles() const {
    return WindowSettings().value(QStringLiteral("recent/files")).toStringList();
}

void MainWindow::RememberRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles) {
        files.removeLast();
    }
    WindowSettings().setValue(QStringLiteral("recent/files"), files);
    UpdateRecentFiles();
}

void MainWindow::UpdateRecentFiles() {
    // Deleted later: the action chosen is still in its own signal when a file it opens is added.
    for (QAction* old : recentMenu_->actions()) {
        recentMenu_->removeAction(old);
        old->deleteLater();
    }
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        // "&1 name": a digit to choose it with, the whole path in the tool tip.
        QAction* action = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
        action->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        action->setToolTip(files[i]);
        const QString file = files[i];
        connect(action, &QAction::triggered, this, [this, file] { OpenFile(file); });
    }
    recentMenu_->setEnabled(!files.isEmpty());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile() && url.toLocalFile().endsWith(".pdf", Qt::CaseInsensitive)) {
                event->acceptProposedAction();
                return;
            }
        }
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile() && url.toLocalFile().endsWith(".pdf", Qt::CaseInsensitive)) {
            OpenFile(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
}

void MainWindow::ShowHostError(const QString& what, const std::exception& error) {
    QMessageBox::critical(this, QApplication::applicationDisplayName(),
                          what + "\n" + QString::fromStdString(error.what()));
}

} // namespace tesser::app
