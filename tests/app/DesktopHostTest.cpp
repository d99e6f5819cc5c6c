// quorel-host's main window with the real host, the real plug-in loader and the built
// Quorel.api, on Qt's offscreen platform: documents, titles, re-rendering, the plug-in menus and
// the frame of the Tesser Pro dialog.
#include "tests/dialog/DialogTestSupport.h"

#include "app/MainWindow.h"
#include "app/MessageBoxSink.h"
#include "app/PageView.h"
#include "app/PluginLoader.h"
#include "host/Host.h"
#include "model/Tesserion.h"
#include "stamp/StampingPass.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

using dialogtest::kPlugInDir;
using dialogtest::kSample;
using dialogtest::WhenModalShown;
using tesser::app::MainWindow;
using tesser::app::PageView;

namespace {

// Clicks the standard button of the next message box of that object name.
void AnswerMessageBox(const QString& objectName, QMessageBox::StandardButton answer) {
    WhenModalShown("QMessageBox", objectName, [answer](QWidget* box) {
        static_cast<QMessageBox*>(box)->button(answer)->click();
    });
}

// Standard error of the calls in between, as text.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = dup(2);
        dup2(fileno(file_), 2);
    }
    QString Take() {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        std::rewind(file_);
        QByteArray text;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) {
            text.append(buffer, static_cast<qsizetype>(n));
        }
        std::fclose(file_);
        return QString::fromLocal8Bit(text);
    }

private:
    FILE* file_;
    int saved_;
};

// A host with its main window, as quorel-host's main() makes them.
struct Desktop {
    tesser::host::Host host;
    MainWindow window{host};
    tesser::app::MessageBoxSink sink{&window};
    std::vector<tesser::app::PlugInOutcome> outcomes;

    explicit Desktop(const QStringList& plugInFolders = {kPlugInDir}) {
        host.SetMessageSink(&sink);
        outcomes = tesser::app::LoadPlugIns(host, plugInFolders, &window);
        window.RebuildPlugInMenus();
        window.show();
    }
    ~Desktop() { host.SetMessageSink(nullptr); }

    QAction* MenuAction(const QString& menu, const QString& item) {
        auto* m = window.findChild<QMenu*>(menu);
        return m != nullptr ? m->findChild<QAction*>(item, Qt::FindDirectChildrenOnly) : nullptr;
    }
};

// A copy of the sample whose signature field holds a value (no real signature: what counts is
// that a full rewrite would break one).
void MakeSigned(const QString& path) {
    QPDF pdf;
    pdf.processFile(QFile::encodeName(kSample).constData());
    auto sig = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Sig /Filter /Adobe.PPKLite /ByteRange [0 10 20 30] /Contents <00> >>"));
    auto field = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /FT /Sig /T (Sig1) >>"));
    field.replaceKey("/V", sig);
    auto form = QPDFObjectHandle::newDictionary();
    form.replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
    pdf.getRoot().replaceKey("/AcroForm", form);
    QPDFWriter writer(pdf, QFile::encodeName(path).constData());
    writer.write();
}

struct FileStamp {
    QByteArray bytes;
    qint64 mtimeNs = 0;
};

FileStamp StampOf(const QString& path) {
    QFile file(path);
    FileStamp stamp;
    if (file.open(QIODevice::ReadOnly)) {
        stamp.bytes = file.readAll();
    }
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return stamp;
}

// What the dialog showed, gathered while it was open.
struct DialogFrame {
    QString title;
    bool modal = false;
    QWidget* parent = nullptr;
    QStringList tabTitles;
    QList<int> tabIds;
    QStringList tabAccessibleNames;
    QList<bool> tabHasIcon;
    QStringList buttonsLeftToRight;
    QList<int> buttonIds;
    bool buttonsOnOneRow = false;
    // Print, Apply, Undo enabled, per tab shown.
    QList<QList<bool>> enabledOnTab;
    QList<bool> enabledOnApplyWithCurrentTesserion;
    QList<bool> enabledAfterLeavingApply;
    bool closedByEscape = false;
};

QList<bool> ButtonStates(QWidget* dialog) {
    QList<bool> states;
    for (const char* name : {"printButton", "applyButton", "undoButton"}) {
        auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        states << (b != nullptr && b->isEnabled());
    }
    return states;
}

} // namespace

class DesktopHostTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    QString ProfilePath() const { return home_.filePath(QStringLiteral("config/Quorel.ini")); }

    // Opens the Tesser Pro dialog from the Extensions menu and runs work in it; answers once
    // the dialog has closed.
    void RunDialog(Desktop& desktop, std::function<void(QDialog*)> work) {
        QAction* item =
            desktop.MenuAction(QStringLiteral("Extensions"), QStringLiteral("KORV:QuorelTesser"));
        QVERIFY(item != nullptr);
        WhenModalShown("QDialog", QStringLiteral("CTesserDialog"),
                       [work](QWidget* dialog) { work(static_cast<QDialog*>(dialog)); });
        item->trigger();
    }

private slots:
    void initTestCase() {
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath(QStringLiteral("data"))));
        QApplication::setApplicationDisplayName(QStringLiteral("Quorel Host"));
    }

    // ---- Plug-in loading ----

    void loadsQuorelAndFillsTheExtensionsMenus() {
        Desktop desktop;
        QCOMPARE(desktop.outcomes.size(), size_t(1));
        QVERIFY2(desktop.outcomes[0].loaded, qPrintable(desktop.outcomes[0].reason));
        QAction* main =
            desktop.MenuAction(QStringLiteral("Extensions"), QStringLiteral("KORV:QuorelTesser"));
        QAction* about = desktop.MenuAction(QStringLiteral("AboutExtensions"),
                                            QStringLiteral("KORV:QuorelHelp"));
        QVERIFY(main != nullptr);
        QVERIFY(about != nullptr);
        QCOMPARE(main->text(), QStringLiteral("Tesser Pro..."));
        QCOMPARE(about->text(), QStringLiteral("Tesser Pro..."));

        // The About text arrives as a message box with the information icon.
        QString aboutText;
        WhenModalShown("QMessageBox", QStringLiteral("hostAlert"), [&aboutText](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            aboutText = box->text();
            QCOMPARE(box->icon(), QMessageBox::Information);
            box->buttons().first()->click();
        });
        about->trigger();
        QVERIFY(aboutText.startsWith(QStringLiteral("Tesser Pro Version 1.0 Build 0\n\n")));
    }

    void skipsModulesThatAreNoPlugInsAndStillStarts() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile text(folder.filePath(QStringLiteral("A-text.api")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("This is not a shared module.\n");
        text.close();
        QVERIFY(QFile::copy(QStringLiteral(NOENTRY_MODULE_PATH),
                            folder.filePath(QStringLiteral("B-noentry.api"))));

        StderrCapture errors;
        Desktop desktop({folder.path(), kPlugInDir});
        QString messages = errors.Take();

        QCOMPARE(desktop.outcomes.size(), size_t(3));
        QVERIFY(!desktop.outcomes[0].loaded);
        QVERIFY(desktop.outcomes[0].reason.startsWith(QStringLiteral("it cannot be loaded")));
        QVERIFY(!desktop.outcomes[1].loaded);
        QCOMPARE(desktop.outcomes[1].reason, QStringLiteral("it exports no PlugInMain"));
        QVERIFY(desktop.outcomes[2].loaded);
        // One line each on standard error, naming the module and the reason.
        QStringList lines = messages.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains(folder.filePath(QStringLiteral("A-text.api"))));
        QVERIFY(lines[0].contains(QStringLiteral("cannot be loaded")));
        QVERIFY(lines[1].contains(folder.filePath(QStringLiteral("B-noentry.api"))));
        QVERIFY(lines[1].contains(QStringLiteral("no PlugInMain")));
        // The application goes on, with the good module's menus.
        QVERIFY(desktop.window.isVisible());
        QVERIFY(desktop.MenuAction(QStringLiteral("Extensions"),
                                   QStringLiteral("KORV:QuorelTesser")) != nullptr);
    }

    void skipsAModuleWhoseHandshakeFails_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<uint>("version");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Cos only at 2.1") << "Cos" << 0x20001u << "the handshake failed";
        QTest::newRow("no AcroView") << "AcroView" << 0u << "the handshake failed";
    }
    void skipsAModuleWhoseHandshakeFails() {
        QFETCH(QString, table);
        QFETCH(uint, version);
        QFETCH(QString, reason);
        tesser::host::Host host;
        host.SetTableVersion(table.toStdString(), version);
        StderrCapture errors;
        auto outcomes = tesser::app::LoadPlugIns(host, {kPlugInDir}, nullptr);
        QString messages = errors.Take();
        QCOMPARE(outcomes.size(), size_t(1));
        QVERIFY(!outcomes[0].loaded);
        QVERIFY(outcomes[0].reason.startsWith(reason));
        QVERIFY(messages.contains(QStringLiteral("Quorel.api skipped: ") + reason));
        QVERIFY(host.MenuItems("Extensions").empty());
    }

    void skipsAModuleWhoseInitialisationFails() {
        tesser::host::Host host;
        host.RemoveMenu("AboutExtensions");
        StderrCapture errors;
        auto outcomes = tesser::app::LoadPlugIns(host, {kPlugInDir}, nullptr);
        QString messages = errors.Take();
        QCOMPARE(outcomes.size(), size_t(1));
        QCOMPARE(outcomes[0].reason, QStringLiteral("its initialisation failed"));
        QVERIFY(messages.contains(QStringLiteral("its initialisation failed")));
    }

    // ---- Documents ----

    void rendersAgainAfterAStampAndMarksTheTitleUntilSaved() {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY(QFile::copy(kSample, copy));
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        QCOMPARE(desktop.host.GetActiveDocument(), desktop.window.ActiveDocument());
        QCOMPARE(desktop.window.windowTitle(), QStringLiteral("report.pdf - Quorel Host"));
        PageView* view = desktop.window.ActivePageView();
        QVERIFY(view != nullptr);
        QCOMPARE(view->PageCount(), 3);
        QTRY_VERIFY(!view->RenderedPage(0).isNull());
        const QImage before = view->RenderedPage(0);
        // Only what is visible is rendered: the last page lies below the viewport.
        QVERIFY(view->RenderedPage(2).isNull());

        tesser::model::Tesserion big;
        big.Text = "DRAFT";
        big.FontSize = 96;
        big.PosX = 72;
        big.PosY = 144;
        QVERIFY(tesser::stamp::StampDocument(big, desktop.window.ActiveDocument(), 0));

        QTRY_VERIFY(!view->RenderedPage(0).isNull() && view->RenderedPage(0) != before);
        QCOMPARE(desktop.window.windowTitle(), QStringLiteral("report.pdf* - Quorel Host"));

        QVERIFY(desktop.window.SaveDocument());
        QCOMPARE(desktop.window.windowTitle(), QStringLiteral("report.pdf - Quorel Host"));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {copy, QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        QVERIFY(text.readAllStandardOutput().contains("DRAFT"));
    }

    void closingWithUnsavedChangesAsksSaveDiscardOrCancel() {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("letter.pdf"));
        QVERIFY(QFile::copy(kSample, copy));
        const FileStamp original = StampOf(copy);
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        tesser::model::Tesserion mark;
        mark.Text = "Copy";
        mark.PosX = 72;
        mark.PosY = 144;
        QVERIFY(tesser::stamp::StampDocument(mark, desktop.window.ActiveDocument(), 0));
        QTRY_VERIFY(desktop.window.windowTitle().startsWith(QStringLiteral("letter.pdf*")));

        AnswerMessageBox(QStringLiteral("unsavedChangesBox"), QMessageBox::Cancel);
        QVERIFY(!desktop.window.CloseDocument());
        QCOMPARE(desktop.window.DocumentCount(), 1);

        AnswerMessageBox(QStringLiteral("unsavedChangesBox"), QMessageBox::Discard);
        QVERIFY(desktop.window.close());
        QCOMPARE(desktop.window.DocumentCount(), 0);
        QCOMPARE(desktop.host.GetActiveDocument(), nullptr);
        QCOMPARE(StampOf(copy).bytes, original.bytes);
    }

    void saveOfAnUnchangedDocumentWritesNothing() {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("plain.pdf"));
        QVERIFY(QFile::copy(kSample, copy));
        struct utimbuf old {
            1000000000, 1000000000
        };
        QCOMPARE(::utime(QFile::encodeName(copy).constData(), &old), 0);
        const FileStamp original = StampOf(copy);
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        QVERIFY(desktop.window.SaveDocument());
        const FileStamp after = StampOf(copy);
        QCOMPARE(after.bytes, original.bytes);
        QCOMPARE(after.mtimeNs, original.mtimeNs);
    }

    void aSignedDocumentIsSavedIncrementallySoItsSignatureStaysValid() {
        QTemporaryDir dir;
        const QString signedCopy = dir.filePath(QStringLiteral("signed.pdf"));
        MakeSigned(signedCopy);
        const QByteArray original = StampOf(signedCopy).bytes;
        QVERIFY(!original.isEmpty());
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(signedCopy));
        tesser::model::Tesserion mark;
        mark.Text = "Received";
        mark.PosX = 72;
        mark.PosY = 144;
        QVERIFY(tesser::stamp::StampDocument(mark, desktop.window.ActiveDocument(), 0));
        QVERIFY(desktop.window.SaveDocument());
        const QByteArray saved = StampOf(signedCopy).bytes;
        // The signed bytes stay as they were, the change follows them.
        QVERIFY(saved.size() > original.size());
        QCOMPARE(saved.left(original.size()), original);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {signedCopy, QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        QVERIFY(text.readAllStandardOutput().contains("Received"));
    }

    void saveOverAFileThatMayNotBeChangedSaysSoAndOffersSaveAs() {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("locked.pdf"));
        const QString other = dir.filePath(QStringLiteral("unlocked.pdf"));
        QVERIFY(QFile::copy(kSample, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup));
        const FileStamp original = StampOf(copy);
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        tesser::model::Tesserion mark;
        mark.Text = "Seen";
        mark.PosX = 72;
        mark.PosY = 144;
        QVERIFY(tesser::stamp::StampDocument(mark, desktop.window.ActiveDocument(), 0));

        QString said;
        WhenModalShown("QMessageBox", QStringLiteral("saveFailedBox"), [&](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            said = box->text();
            box->button(QMessageBox::Cancel)->click();
        });
        QVERIFY(!desktop.window.SaveDocument());
        QVERIFY2(said.contains(QStringLiteral("may not be changed")), qPrintable(said));
        QCOMPARE(StampOf(copy).bytes, original.bytes);
        QVERIFY(desktop.window.windowTitle().startsWith(QStringLiteral("locked.pdf*")));

        // Save As from the same box writes the document elsewhere and leaves the file alone.
        WhenModalShown("QMessageBox", QStringLiteral("saveFailedBox"), [&](QWidget* w) {
            w->findChild<QPushButton*>(QStringLiteral("saveAsButton"))->click();
        });
        // Chosen again until the file dialog closes: one shown while its folder is still being
        // read can take the name and stay open.
        QTimer choose;
        QObject::connect(&choose, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal->objectName() == QStringLiteral("saveAsDialog")) {
                dialogtest::ChooseInFileDialog(modal, other);
            }
        });
        choose.start(50);
        QVERIFY(desktop.window.SaveDocument());
        choose.stop();
        QCOMPARE(StampOf(copy).bytes, original.bytes);
        QCOMPARE(desktop.window.ActivePath(), other);
        QCOMPARE(desktop.window.windowTitle(), QStringLiteral("unlocked.pdf - Quorel Host"));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {other, QStringLiteral("-")});
        QVERIFY(text.waitForFinished());
        QVERIFY(text.readAllStandardOutput().contains("Seen"));
    }

    void severalDocumentsTheFrontOneIsActive() {
        QTemporaryDir dir;
        const QString other = dir.filePath(QStringLiteral("other.pdf"));
        QVERIFY(QFile::copy(kSample, other));
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(kSample));
        HDoc first = desktop.window.ActiveDocument();
        QVERIFY(desktop.window.OpenFile(other));
        HDoc second = desktop.window.ActiveDocument();
        QVERIFY(first != second);
        QCOMPARE(desktop.host.GetActiveDocument(), second);
        auto* tabs = desktop.window.findChild<QTabWidget*>(QStringLiteral("documentTabs"));
        tabs->setCurrentIndex(0);
        QCOMPARE(desktop.host.GetActiveDocument(), first);
        // Opened again, by a link too: the open document comes to the front, no second copy.
        const QString link = dir.filePath(QStringLiteral("link.pdf"));
        QVERIFY(QFile::link(other, link));
        QVERIFY(desktop.window.OpenFile(link));
        QCOMPARE(desktop.window.DocumentCount(), 2);
        QCOMPARE(desktop.window.ActiveDocument(), second);
    }

    // File > Open Recent lists the files opened last, newest first, and the window's size
    // survives a restart.
    void recentFilesAndTheWindowSizeAreRemembered() {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.pdf"));
        const QString b = dir.filePath(QStringLiteral("b.pdf"));
        QVERIFY(QFile::copy(kSample, a));
        QVERIFY(QFile::copy(kSample, b));
        {
            Desktop desktop;
            QVERIFY(desktop.window.OpenFile(a));
            QVERIFY(desktop.window.OpenFile(b));
            desktop.window.resize(640, 500);
            QVERIFY(desktop.window.close());
        }
        Desktop again;
        auto* recent = again.window.findChild<QMenu*>(QStringLiteral("recentMenu"));
        QVERIFY(recent != nullptr);
        QVERIFY(recent->actions().size() >= 2);
        QCOMPARE(recent->actions()[0]->toolTip(), b);
        QCOMPARE(recent->actions()[1]->toolTip(), a);
        QCOMPARE(recent->actions()[0]->text(), QStringLiteral("&1 b.pdf"));
        QCOMPARE(again.window.size(), QSize(640, 500));
        recent->actions()[1]->trigger();
        QCOMPARE(again.window.ActivePath(), a);
        QCOMPARE(recent->actions()[0]->toolTip(), a); // now the newest
    }

    // The password prompt names the file, and says so when the password given did not open it.
    void thePasswordPromptNamesTheFileAndAWrongPassword() {
        QTemporaryDir dir;
        const QString locked = dir.filePath(QStringLiteral("locked.pdf"));
        QProcess qpdf;
        qpdf.start(QStringLiteral("qpdf"),
                   {QStringLiteral("--encrypt"), QStringLiteral("usr"), QStringLiteral("own"),
                    QStringLiteral("256"), QStringLiteral("--"), kSample, locked});
        QVERIFY(qpdf.waitForFinished());
        QCOMPARE(qpdf.exitCode(), 0);
        QStringList prompts;
        QStringList answers = {QStringLiteral("wrong"), QStringLiteral("usr")};
        std::function<void()> answerNext = [&] {
            WhenModalShown("QInputDialog", QStringLiteral("passwordDialog"), [&](QWidget* w) {
                auto* ask = static_cast<QInputDialog*>(w);
                prompts.append(ask->labelText());
                ask->setTextValue(answers.takeFirst());
                if (!answers.isEmpty()) {
                    answerNext();
                }
                ask->accept();
            });
        };
        answerNext();
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(locked));
        QCOMPARE(prompts, (QStringList{QStringLiteral("locked.pdf is protected. Password:"),
                                       QStringLiteral("That password does not open locked.pdf. "
                                                      "Password:")}));
        QCOMPARE(desktop.window.DocumentCount(), 1);
    }

    void theViewGoesWhereTheKeysSayAndZooms() {
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(kSample));
        PageView* view = desktop.window.ActivePageView();
        QVERIFY(view != nullptr);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->CurrentPage(), view->PageCount() - 1);
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->CurrentPage(), 0);
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(view->CurrentPage() >= 0);
        QTest::keyClick(view, Qt::Key_Home);

        const double before = view->Zoom();
        QWheelEvent wheel(QPointF(20, 20), view->mapToGlobal(QPointF(20, 20)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(view->Zoom() > before);
        desktop.MenuAction(QStringLiteral("viewMenu"), QStringLiteral("fitWidthAction"))->trigger();
        // 612 points at 96 dpi fill the viewport's width less the margins.
        QVERIFY(std::abs(612.0 * 96.0 / 72.0 * view->Zoom() - (view->viewport()->width() - 24)) <
                1.0);
        desktop.MenuAction(QStringLiteral("viewMenu"), QStringLiteral("fitPageAction"))->trigger();
        QVERIFY(792.0 * 96.0 / 72.0 * view->Zoom() <= view->viewport()->height() - 24 + 1.0);
        // Ctrl+G takes the page number box; a number and Enter go there.
        desktop.MenuAction(QStringLiteral("viewMenu"), QStringLiteral("goToPageAction"))->trigger();
        auto* box = desktop.window.findChild<QSpinBox*>(QStringLiteral("pageNumber"));
        QVERIFY(box != nullptr);
        QVERIFY(box->hasFocus());
        view->GoToPage(0);
        box->setValue(2);
        emit box->editingFinished();
        QCOMPARE(view->CurrentPage(), 1);
        auto* zoomIn =
            desktop.MenuAction(QStringLiteral("viewMenu"), QStringLiteral("zoomInAction"));
        QVERIFY(zoomIn->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Equal)));
    }

    // ---- The Tesser Pro dialog ----

    void dialogFrame() {
        QDir().mkpath(home_.filePath(QStringLiteral("config")));
        QFile::remove(ProfilePath());
        QVERIFY(
            QFile::copy(QStringLiteral(TESSER_SOURCE_DIR "/samples/Quorel.ini"), ProfilePath()));
        // An old modification time, so that a rewrite cannot go unnoticed.
        struct utimbuf old {
            1000000000, 1000000000
        };
        QCOMPARE(::utime(QFile::encodeName(ProfilePath()).constData(), &old), 0);
        const FileStamp profileBefore = StampOf(ProfilePath());

        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(kSample));
        DialogFrame frame;
        RunDialog(desktop, [&frame, &desktop](QDialog* dialog) {
            frame.title = dialog->windowTitle();
            frame.modal = dialog->isModal();
            frame.parent = dialog->parentWidget();
            auto* tabs = dialog->findChild<QTabWidget*>(QStringLiteral("tabs"));
            for (int i = 0; tabs != nullptr && i < tabs->count(); ++i) {
                frame.tabTitles << tabs->tabText(i);
                frame.tabIds << tabs->widget(i)->property("controlId").toInt();
                frame.tabAccessibleNames << tabs->widget(i)->accessibleName();
                frame.tabHasIcon << !tabs->tabIcon(i).isNull();
            }
            QList<QPushButton*> buttons;
            for (const char* name : {"printButton", "applyButton", "undoButton", "closeButton"}) {
                buttons << dialog->findChild<QPushButton*>(QString::fromLatin1(name));
            }
            if (buttons.contains(nullptr)) {
                dialog->done(2);
                return;
            }
            std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) {
                return a->mapTo(a->window(), QPoint()).x() < b->mapTo(b->window(), QPoint()).x();
            });
            frame.buttonsOnOneRow = true;
            for (QPushButton* b : buttons) {
                frame.buttonsLeftToRight << b->text();
                frame.buttonIds << b->property("controlId").toInt();
                frame.buttonsOnOneRow =
                    frame.buttonsOnOneRow &&
                    b->mapTo(b->window(), QPoint()).y() ==
                        buttons[0]->mapTo(b->window(), QPoint()).y() &&
                    b->accessibleName() == QString(b->text()).remove(QLatin1Char('&'));
            }
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                frame.enabledOnTab << ButtonStates(dialog);
            }
            // On the Apply page: the current Tesserion onto the current document.
            auto* current = dialog->findChild<QRadioButton*>(QStringLiteral("currentTesserion"));
            current->setFocus();
            QTest::keyClick(current, Qt::Key_Space);
            frame.enabledOnApplyWithCurrentTesserion = ButtonStates(dialog);
            tabs->setCurrentIndex(0);
            frame.enabledAfterLeavingApply = ButtonStates(dialog);

            QTest::keyClick(dialog, Qt::Key_Escape);
            frame.closedByEscape = !dialog->isVisible();
            if (!frame.closedByEscape) {
                dialog->done(2);
            }
            Q_UNUSED(desktop);
        });

        QCOMPARE(frame.title, QStringLiteral("Tesser Pro"));
        QVERIFY(frame.modal);
        QCOMPARE(frame.parent, static_cast<QWidget*>(&desktop.window));
        QCOMPARE(frame.tabTitles, (QStringList{"Tesserion", "Info", "Open", "Security", "Apply"}));
        QCOMPARE(frame.tabIds, (QList<int>{132, 136, 137, 135, 133}));
        QCOMPARE(frame.tabAccessibleNames, frame.tabTitles);
        QCOMPARE(frame.tabHasIcon, (QList<bool>{false, true, true, true, false}));
        // Each with a mnemonic that no page uses.
        QCOMPARE(frame.buttonsLeftToRight, (QStringList{"&Print...", "App&ly", "Und&o", "Clos&e"}));
        QCOMPARE(frame.buttonIds, (QList<int>{1102, 1101, 1032, 1103}));
        QVERIFY(frame.buttonsOnOneRow);
        const QList<bool> none{false, false, false};
        QCOMPARE(frame.enabledOnTab, (QList<QList<bool>>{none, none, none, none, none}));
        QCOMPARE(frame.enabledOnApplyWithCurrentTesserion, (QList<bool>{true, true, false}));
        QCOMPARE(frame.enabledAfterLeavingApply, none);
        QVERIFY(frame.closedByEscape);
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        // Nothing stored in the profile changed: the file is as it was, time included.
        const FileStamp profileAfter = StampOf(ProfilePath());
        QCOMPARE(profileAfter.bytes, profileBefore.bytes);
        QCOMPARE(profileAfter.mtimeNs, profileBefore.mtimeNs);
        // The document had no unsaved changes and nothing was run: it has none now.
        QCOMPARE(desktop.window.windowTitle(), QStringLiteral("sample.pdf - Quorel Host"));
    }

    void dialogWritesTheProfileWhenCustomColoursChange() {
        QDir().mkpath(home_.filePath(QStringLiteral("config")));
        QFile::remove(ProfilePath());
        QVERIFY(
            QFile::copy(QStringLiteral(TESSER_SOURCE_DIR "/samples/Quorel.ini"), ProfilePath()));
        Desktop desktop;
        bool chooserSeen = false;
        RunDialog(desktop, [&chooserSeen](QDialog* dialog) {
            // A custom RGB colour in the colour list, then "..." opens the colour chooser, where
            // red is chosen and added to the custom colours.
            auto* list = dialog->findChild<QComboBox*>(QStringLiteral("colorList"));
            list->setFocus();
            const int customRgb = list->count() - 2; // before the custom CMYK row
            while (list->currentIndex() != customRgb) {
                QTest::keyClick(list, list->currentIndex() < customRgb ? Qt::Key_Down : Qt::Key_Up);
            }
            WhenModalShown("QColorDialog", {}, [&chooserSeen](QWidget* chooser) {
                chooserSeen = true;
                static_cast<QColorDialog*>(chooser)->setCurrentColor(QColor(255, 0, 0));
                for (auto* b : chooser->findChildren<QPushButton*>()) {
                    if (b->text().contains(QStringLiteral("Custom"))) {
                        b->click();
                    }
                }
                static_cast<QDialog*>(chooser)->accept();
            });
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("colorChooserButton")),
                              Qt::LeftButton);
            dialog->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
        });
        QVERIFY(chooserSeen);
        QFile file(ProfilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        // Red (0x0000FF) in the first custom slot; the Tesserions are kept.
        QVERIFY2(text.contains("[Colors]\r\n0=255\r\n1=0\r\n"), text.constData());
        QVERIFY(text.contains("[Tesserions]"));
    }

    void dialogWithoutADocumentOpensAndCloses() {
        Desktop desktop;
        bool opened = false;
        RunDialog(desktop, [&opened](QDialog* dialog) {
            opened = true;
            auto* tabs = dialog->findChild<QTabWidget*>(QStringLiteral("tabs"));
            tabs->setCurrentIndex(4);
            auto* current = dialog->findChild<QRadioButton*>(QStringLiteral("currentTesserion"));
            current->setFocus();
            QTest::keyClick(current, Qt::Key_Space);
            QVERIFY(current->isChecked());
            // No current document: nothing to process.
            QCOMPARE(ButtonStates(dialog), (QList<bool>{false, false, false}));
            dialog->close();
        });
        QVERIFY(opened);
    }
};

QTEST_MAIN(DesktopHostTest)
#include "DesktopHostTest.moc"
