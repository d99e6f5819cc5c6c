// The Apply page and the runs it starts, worked through its controls in the real module over the
// real desktop host: the Tesserion lists and their moves, the documents list with its file
// dialogs and drops, the command buttons' states, and Apply, Undo and Print... on the current
// document and on lists of real files, read back with pdftotext and qpdf.
#include "DialogTestSupport.h"

#include "app/PageView.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace dialogtest;

namespace {

enum { kInfoTab = 1, kApplyTab = 4 };

const QString kErrorBox = QStringLiteral("runErrorBox");

// Stamps with words pdftotext finds: Alpha and Gamma are valid, beta's page range is not.
// "ALPHA" differs from "Alpha" only in letter case.
QString Section(const QString& name, const QString& text, const QString& range) {
    return QStringLiteral("[Tesserion_%1]\nColorName=Black\nColorText=0.00\nFontFace=Helvetica\n"
                          "FontLeading=24.000000\nFontSize=20.000000\nJustifyH=Left\n"
                          "JustifyV=Bottom\nLayer=Foreground\nPagesAll=%3\n"
                          "PagesOddEven=OddAndEven\nPagesRange=%4\nPosAngle=0.000000\nPosX=100."
                          "000000\nPosY=100.000000\n"
                          "Text=%2\nUnits=Inches\n\n")
        .arg(name, text, range.isEmpty() ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), range);
}

void WriteProfile(const QStringList& names) {
    QString ini;
    for (const QString& name : names) {
        const QString range = name == QStringLiteral("beta") ? QStringLiteral("3-x") : QString();
        ini += Section(name, name.toUpper() + QStringLiteral("STAMP"), range);
    }
    ini += QStringLiteral("[Tesserions]\n");
    for (int i = 0; i < names.size(); ++i) {
        ini += QStringLiteral("%1=%2\n").arg(i + 1).arg(names[i]);
    }
    ini += QStringLiteral("Count=%1\n").arg(names.size());
    QFile file(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Quorel.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ini.toLatin1());
}

QStringList Items(QListWidget* list) {
    QStringList items;
    for (int row = 0; row < list->count(); ++row) {
        items.append(list->item(row)->text());
    }
    return items;
}

void SelectItems(QListWidget* list, const QStringList& texts) {
    list->clearSelection();
    for (int row = 0; row < list->count(); ++row) {
        if (texts.contains(list->item(row)->text())) {
            list->item(row)->setSelected(true);
        }
    }
}

// Moves the names into "To be applied" with "<-", in the order of "Not to be applied".
void Choose(QDialog* d, const QStringList& names) {
    Click(Find<QRadioButton>(d, "selectedTesserions"));
    SelectItems(Find<QListWidget>(d, "notToBeApplied"), names);
    Click(Find<QPushButton>(d, "moveToApplied"));
}

struct DropResult {
    bool moveAccepted = false;
    bool dropAccepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

// A drag from a file manager: enter, move and drop at pos of target (the documents list's
// viewport unless another widget is given), carrying urls as text/uri-list.
DropResult Drop(QWidget* target, const QList<QUrl>& urls, QPoint pos = {-1, -1}) {
    if (pos.x() < 0) {
        pos = target->rect().center();
    }
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    DropResult result;
    result.moveAccepted = move.isAccepted();
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    result.dropAccepted = drop.isAccepted();
    result.action = drop.dropAction();
    return result;
}

QWidget* DocumentsArea(QDialog* d) {
    return Find<QListWidget>(d, "documentsList")->viewport();
}

struct Buttons {
    bool print, apply, undo;
    bool operator==(const Buttons&) const = default;
};
Buttons CommandButtons(QDialog* d) {
    return {Find<QPushButton>(d, "printButton")->isEnabled(),
            Find<QPushButton>(d, "applyButton")->isEnabled(),
            Find<QPushButton>(d, "undoButton")->isEnabled()};
}

QString Text(const QString& pdf) {
    return RunTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).output;
}
bool Checks(const QString& pdf) {
    return RunTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).exitCode == 0;
}
// The first word's bounding box (xMin, yMin) as pdftotext -bbox reports it.
QPointF WordAt(const QString& pdf, const QString& word) {
    const QString html =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")})
            .output;
    for (const QString& line : html.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1Char('>') + word + QLatin1Char('<'))) {
            auto value = [&line](const QString& key) {
                const int at = line.indexOf(key + QStringLiteral("=\"")) + key.size() + 2;
                return line.mid(at, line.indexOf(QLatin1Char('"'), at) - at).toDouble();
            };
            return {value(QStringLiteral("xMin")), value(QStringLiteral("yMin"))};
        }
    }
    return {-1, -1};
}

// Copies the sample under the given names into dir; answers the paths.
QStringList Copies(const QString& dir, const QStringList& names) {
    QStringList paths;
    for (const QString& name : names) {
        const QString path = dir + QLatin1Char('/') + name;
        QFile::copy(kSample, path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        paths.append(path);
    }
    return paths;
}

// Watches the progress window while a run holds the event loop: records each distinct pair of
// texts it shows, and clicks "Abort" once "Files processed: abortAt" appears (never when -1).
struct ProgressWatch {
    QStringList seen;
    bool registeredWithHost = false;
    bool dialogDisabled = false;
    bool presentedAsDialog = false; // a screen reader's role for the window and its count
    bool barShown = false;
    QPointer<QTimer> timer;
    QElapsedTimer clock; // for the report of how long a run took to stop, never asserted
    qint64 clickedAt = -1;
    // Right after the click: the button disabled and the stop announced, before the run took it.
    bool acknowledged = false;

    ProgressWatch(Desktop& desktop, QDialog* d, int abortAt) {
        clock.start();
        timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, qApp, [this, &desktop, d, abortAt] {
            auto* window = qApp->findChild<QWidget*>(QStringLiteral("progressWindow"));
            if (window == nullptr) {
                const auto tops = QApplication::topLevelWidgets();
                for (QWidget* w : tops) {
                    if (w->objectName() == QStringLiteral("progressWindow")) {
                        window = w;
                    }
                }
            }
            if (window == nullptr || !window->isVisible()) {
                return;
            }
            const std::vector<void*> modeless = desktop.host.ModelessWindows();
            registeredWithHost = registeredWithHost || std::find(modeless.begin(), modeless.end(),
                                                                 window) != modeless.end();
            dialogDisabled = !Find<QPushButton>(d, "applyButton")->isEnabled() &&
                             !Find<QPushButton>(d, "closeButton")->isEnabled() &&
                             !Find<QListWidget>(d, "documentsList")->isEnabled();
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window);
            presentedAsDialog = a != nullptr && a->role() == QAccessible::Dialog;
            auto* bar = window->findChild<QWidget*>(QStringLiteral("progressBar"));
            QAccessibleInterface* b =
                bar != nullptr ? QAccessible::queryAccessibleInterface(bar) : nullptr;
            barShown = b != nullptr && b->role() == QAccessible::ProgressBar;
            const QString shown = Find<QLabel>(window, "progressFile")->text() + QLatin1Char('|') +
                                  Find<QLabel>(window, "progressCount")->text();
            if (seen.isEmpty() || seen.constLast() != shown) {
                seen.append(shown);
            }
            if (abortAt >= 0 &&
                shown.endsWith(QStringLiteral("Files processed: %1").arg(abortAt))) {
                auto* abort = Find<QPushButton>(window, "abortButton");
                if (abort->isEnabled() && clickedAt < 0) {
                    clickedAt = clock.elapsed();
                    QTest::mouseClick(abort, Qt::LeftButton);
                    auto* stopping = Find<QLabel>(window, "progressStopping");
                    acknowledged =
                        !abort->isEnabled() && stopping->isVisible() &&
                        stopping->text() == QStringLiteral("Stopping after the document in hand");
                }
            }
        });
        timer->start(0);
    }
    ~ProgressWatch() {
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    }
};

// Answers every run error box with answer, recording the texts.
struct ErrorAnswers {
    QStringList texts;
    QPointer<QTimer> timer;
    explicit ErrorAnswers(QMessageBox::StandardButton answer) {
        timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, qApp, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || box->objectName() != QStringLiteral("runErrorBox")) {
                return;
            }
            texts.append(box->windowTitle() + QLatin1Char('|') + box->text());
            box->button(answer)->click();
        });
        timer->start(10);
    }
    ~ErrorAnswers() {
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    }
};

// The main window's title for the front document: its name, "*" for unsaved changes.
QString Title(const QString& document) {
    return document + QStringLiteral(" - ") + QApplication::applicationDisplayName();
}

QString DisplayText(Desktop& desktop, const QString& dir) {
    const QString path = dir + QStringLiteral("/display.pdf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return {};
    }
    file.write(
        QByteArray::fromStdString(desktop.host.DisplayBytes(desktop.window.ActiveDocument())));
    file.close();
    return Text(path);
}

} // namespace

class ApplyPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

private slots:
    void initTestCase() {
        QuietOffscreenWarnings();
        QVERIFY(UseTemporaryHome(home_));
    }

    void init() { WriteProfile({"Alpha", "beta", "Gamma"}); }

    // ---- Controls ----

    void everyControlHasItsIdNameAndKeyboardPlace_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("accessible");
        QTest::addColumn<int>("mnemonic"); // radio buttons are reached with theirs, others by Tab
        QTest::newRow("None") << "noTesserion" << 1071 << "None" << int(Qt::Key_N);
        QTest::newRow("Current tesserion")
            << "currentTesserion" << 1069 << "Current tesserion" << int(Qt::Key_U);
        QTest::newRow("Selected tesserions")
            << "selectedTesserions" << 1070 << "Selected tesserions" << int(Qt::Key_S);
        QTest::newRow("To be applied") << "toBeApplied" << 1036 << "To be applied" << 0;
        QTest::newRow("Not to be applied") << "notToBeApplied" << 1045 << "Not to be applied" << 0;
        QTest::newRow("<-") << "moveToApplied" << 1046 << "Move into To be applied" << 0;
        QTest::newRow("->") << "moveToNotApplied" << 1047 << "Move into Not to be applied" << 0;
        QTest::newRow("Current document")
            << "currentDocument" << 1067 << "Current document" << int(Qt::Key_D);
        QTest::newRow("Multiple documents")
            << "multipleDocuments" << 1068 << "Multiple documents" << int(Qt::Key_M);
        QTest::newRow("Optimise") << "optimise" << 1055 << "Optimise" << 0;
        QTest::newRow("documents") << "documentsList" << 1037 << "Documents" << 0;
        QTest::newRow("Browse...") << "browseDocumentsButton" << 1049 << "Browse..." << 0;
        QTest::newRow("Add folder...") << "addFolderButton" << 1051 << "Add folder..." << 0;
        QTest::newRow("Remove") << "removeButton" << 1050 << "Remove" << 0;
    }
    void everyControlHasItsIdNameAndKeyboardPlace() {
        QFETCH(QString, object);
        QFETCH(int, id);
        QFETCH(QString, accessible);
        QFETCH(int, mnemonic);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            QApplication::setActiveWindow(d);
            ClickTab(d, kApplyTab);
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            Choose(d, {"Alpha"});
            // Something selected in each Tesserion list, so that both moves are usable.
            SelectItems(Find<QListWidget>(d, "notToBeApplied"), {"Gamma"});
            Find<QListWidget>(d, "toBeApplied")->item(0)->setSelected(true);
            auto* control = d->findChild<QWidget*>(object);
            QVERIFY(control != nullptr);
            QCOMPARE(control->property("controlId").toInt(), id);
            QCOMPARE(control->accessibleName(), accessible);
            QVERIFY(control->isVisible());
            QVERIFY(control->isEnabled());
            if (mnemonic != 0) {
                QTest::keyClick(d, static_cast<Qt::Key>(mnemonic), Qt::AltModifier);
                QTRY_COMPARE(QApplication::focusWidget(), control);
                return;
            }
            Find<QRadioButton>(d, "selectedTesserions")->setFocus();
            for (int i = 0; i < 40 && QApplication::focusWidget() != control &&
                            QApplication::focusWidget() != nullptr;
                 ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            QCOMPARE(QApplication::focusWidget(), control);
        }));
    }

    void recurseIsNeverOffered() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            auto* recurse = Find<QCheckBox>(d, "recurse");
            QCOMPARE(recurse->property("controlId").toInt(), 1095);
            QVERIFY(!recurse->isVisible());
            QVERIFY(!recurse->isEnabled());
            QVERIFY(!recurse->isChecked());
            QVERIFY(Find<QCheckBox>(d, "optimise")->isChecked());
        }));
    }

    // ---- Tesserion lists ----

    void movesCheckEachTesserionAndKeepTheOrderOfApplication() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            auto* toApply = Find<QListWidget>(d, "toBeApplied");
            auto* notApplied = Find<QListWidget>(d, "notToBeApplied");
            QVERIFY(!toApply->isEnabled());
            QVERIFY(!notApplied->isEnabled());
            QCOMPARE(Items(notApplied), (QStringList{"Alpha", "beta", "Gamma"}));
            Click(Find<QRadioButton>(d, "selectedTesserions"));
            QVERIFY(notApplied->isEnabled());
            QVERIFY(!Find<QPushButton>(d, "moveToApplied")->isEnabled());

            // Three selected, the second invalid: one alert, the first and third move.
            SelectItems(notApplied, {"Alpha", "beta", "Gamma"});
            QVERIFY(Find<QPushButton>(d, "moveToApplied")->isEnabled());
            const QString alert =
                MessageDuring(kHostAlert, [&] { Click(Find<QPushButton>(d, "moveToApplied")); });
            QCOMPARE(alert, QStringLiteral("Tesserion: beta\nThe page range is invalid\n\n"));
            QCOMPARE(Items(toApply), (QStringList{"Alpha", "Gamma"}));
            QCOMPARE(Items(notApplied), QStringList{"beta"});
            QVERIFY(!notApplied->item(0)->isSelected());
            QVERIFY(!Find<QPushButton>(d, "moveToApplied")->isEnabled());

            // Back with "->": sorted into place without a check; "To be applied" keeps order.
            SelectItems(toApply, {"Alpha"});
            QVERIFY(Find<QPushButton>(d, "moveToNotApplied")->isEnabled());
            Click(Find<QPushButton>(d, "moveToNotApplied"));
            QCOMPARE(Items(toApply), QStringList{"Gamma"});
            QCOMPARE(Items(notApplied), (QStringList{"Alpha", "beta"}));
            SelectItems(notApplied, {"Alpha"});
            Click(Find<QPushButton>(d, "moveToApplied"));
            QCOMPARE(Items(toApply), (QStringList{"Gamma", "Alpha"}));

            // Kept while the user visits another page.
            ClickTab(d, kInfoTab);
            ClickTab(d, kApplyTab);
            QCOMPARE(Items(toApply), (QStringList{"Gamma", "Alpha"}));
            QCOMPARE(Items(notApplied), QStringList{"beta"});
        }));
    }

    void listsFollowTheNamedTesserionsIgnoringLetterCase() {
        WriteProfile({"ALPHA", "Alpha", "zeta"});
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            // "ALPHA" comes first in byte order; "Alpha" equals it ignoring letter case.
            QCOMPARE(Items(Find<QListWidget>(d, "notToBeApplied")), (QStringList{"ALPHA", "zeta"}));
            Choose(d, {"ALPHA"});
            QCOMPARE(Items(Find<QListWidget>(d, "toBeApplied")), QStringList{"ALPHA"});
            QCOMPARE(Items(Find<QListWidget>(d, "notToBeApplied")), QStringList{"zeta"});

            // Deleting a Tesserion on the Tesserion page takes it off the lists.
            ClickTab(d, 0);
            auto* names = Find<QComboBox>(d, "nameBox");
            ChooseRow(names, names->findText(QStringLiteral("ALPHA"),
                                             Qt::MatchExactly | Qt::MatchCaseSensitive));
            QCOMPARE(names->currentText(), QStringLiteral("ALPHA"));
            Click(Find<QPushButton>(d, "deleteButton"));
            ClickTab(d, kApplyTab);
            // Gone from both lists; "Alpha" is no longer hidden by it.
            QCOMPARE(Items(Find<QListWidget>(d, "toBeApplied")), QStringList{});
            QCOMPARE(Items(Find<QListWidget>(d, "notToBeApplied")), (QStringList{"Alpha", "zeta"}));
        }));
    }

    // ---- Documents list ----

    void browseAddFolderAndRemove() {
        QTemporaryDir dir;
        const QStringList files = Copies(dir.path(), {"a.pdf", "B.pdf", "notes.txt"});
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Sub")));
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            auto* browse = Find<QPushButton>(d, "browseDocumentsButton");
            auto* remove = Find<QPushButton>(d, "removeButton");
            QVERIFY(!browse->isEnabled());
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            // Usable with an empty list and nothing selected.
            QVERIFY(browse->isEnabled());
            QVERIFY(remove->isEnabled());

            QStringList filters;
            bool multiple = false;
            WhenModalShown("QFileDialog", QStringLiteral("browseDocumentsDialog"), [&](QWidget* w) {
                auto* chooser = static_cast<QFileDialog*>(w);
                filters = chooser->nameFilters();
                multiple = chooser->fileMode() == QFileDialog::ExistingFiles;
                chooser->setDirectory(dir.path());
                chooser->selectNameFilter(QStringLiteral("All Files (*)"));
                ChooseInFileDialog(chooser, QStringLiteral("\"a.pdf\" \"B.pdf\" "
                                                           "\"notes.txt\""));
            });
            Click(browse);
            QCOMPARE(filters, (QStringList{"PDF Files (*.pdf)", "All Files (*)"}));
            QVERIFY(multiple);
            auto* list = Find<QListWidget>(d, "documentsList");
            // Whatever the file dialog returns, sorted ignoring letter case.
            QCOMPARE(Items(list), files);

            // The same files again, one in other letter case: nothing is added.
            WhenModalShown("QFileDialog", QStringLiteral("browseDocumentsDialog"), [&](QWidget* w) {
                auto* chooser = static_cast<QFileDialog*>(w);
                chooser->setDirectory(dir.path());
                ChooseInFileDialog(chooser, QStringLiteral("a.pdf"));
            });
            Click(browse);
            QCOMPARE(Items(list), files);

            WhenModalShown("QFileDialog", QStringLiteral("addFolderDialog"), [&](QWidget* w) {
                auto* chooser = static_cast<QFileDialog*>(w);
                QCOMPARE(chooser->fileMode(), QFileDialog::Directory);
                chooser->setDirectory(dir.path());
                ChooseInFileDialog(chooser, dir.filePath(QStringLiteral("Sub")));
            });
            Click(Find<QPushButton>(d, "addFolderButton"));
            QVERIFY(Items(list).contains(dir.filePath(QStringLiteral("Sub/"))));
            QCOMPARE(list->count(), 4);

            // Cancel changes nothing.
            WhenModalShown("QFileDialog", QStringLiteral("browseDocumentsDialog"),
                           [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
            Click(browse);
            QCOMPARE(list->count(), 4);

            Click(remove); // nothing selected
            QCOMPARE(list->count(), 4);
            SelectItems(list, {files[0], files[2]});
            Click(remove);
            QCOMPARE(Items(list), (QStringList{files[1], dir.filePath(QStringLiteral("Sub/"))}));
        }));
    }

    void dropsOfFilesAndFolders_data() {
        QTest::addColumn<QStringList>("names"); // relative to the folder; "/" ends a folder
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("a PDF file") << QStringList{"a.pdf"} << true << QStringList{"a.pdf"};
        QTest::newRow("capital extension") << QStringList{"C.PDF"} << true << QStringList{"C.PDF"};
        QTest::newRow("a folder gets its slash")
            << QStringList{"Docs"} << true << QStringList{"Docs/"};
        QTest::newRow("files and a folder") << QStringList{"a.pdf", "Docs", "C.PDF"} << true
                                            << QStringList{"a.pdf", "C.PDF", "Docs/"};
        QTest::newRow("a PDF with a text file is refused whole")
            << QStringList{"C.PDF", "notes.txt"} << false << QStringList{};
        QTest::newRow("a text file") << QStringList{"notes.txt"} << false << QStringList{};
    }
    void dropsOfFilesAndFolders() {
        QFETCH(QStringList, names);
        QFETCH(bool, accepted);
        QFETCH(QStringList, entries);
        QTemporaryDir dir;
        Copies(dir.path(), {"a.pdf", "C.PDF", "notes.txt"});
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Docs")));
        QList<QUrl> urls;
        for (const QString& name : names) {
            urls.append(QUrl::fromLocalFile(dir.filePath(name)));
        }
        QStringList expected;
        for (const QString& entry : entries) {
            expected.append(dir.filePath(entry));
        }
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            // Refused while the list is not in use.
            QVERIFY(!Drop(DocumentsArea(d), urls).dropAccepted);
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            // Refused outside the list.
            QVERIFY(!Drop(Find<QWidget>(d, "tesserionsGroup"), urls).dropAccepted);
            QCOMPARE(Find<QListWidget>(d, "documentsList")->count(), 0);

            const DropResult result = Drop(DocumentsArea(d), urls);
            QCOMPARE(result.moveAccepted, accepted);
            QCOMPARE(result.dropAccepted, accepted);
            if (accepted) {
                QCOMPARE(result.action, Qt::CopyAction);
            }
            QCOMPARE(Items(Find<QListWidget>(d, "documentsList")), expected);
            // Nothing changed on disk.
            QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 4);
        }));
    }

    void dropsFindDuplicatesIgnoringLetterCase() {
        QTemporaryDir dir;
        Copies(dir.path(), {"a.pdf"});
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Docs")));
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            QVERIFY(Drop(DocumentsArea(d), {QUrl::fromLocalFile(dir.filePath("a.pdf")),
                                            QUrl::fromLocalFile(dir.filePath("Docs"))})
                        .dropAccepted);
            // The same names in other letter case, the folder with its slash this time.
            QVERIFY(Drop(DocumentsArea(d), {QUrl::fromLocalFile(dir.filePath("A.PDF")),
                                            QUrl::fromLocalFile(dir.filePath("DOCS/"))})
                        .dropAccepted);
            QCOMPARE(Items(Find<QListWidget>(d, "documentsList")),
                     (QStringList{dir.filePath("a.pdf"), dir.filePath("Docs/")}));
        }));
    }

    // A name longer than the 259 characters a list entry once held is kept whole: cut short it
    // would name another file, or none, and the run would stamp the wrong one or fail.
    void dropOfALongNameKeepsItWhole() {
        QTemporaryDir dir;
        QString deep = dir.path();
        while (deep.size() < 300) {
            deep += QStringLiteral("/a-folder-with-a-rather-long-name");
        }
        QVERIFY(QDir().mkpath(deep));
        const QString file = Copies(deep, {"stamped.pdf"}).constFirst();
        QVERIFY(file.size() > 300);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha"});
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            QVERIFY(Drop(DocumentsArea(d), {QUrl::fromLocalFile(file), QUrl::fromLocalFile(deep)})
                        .dropAccepted);
            QCOMPARE(Items(Find<QListWidget>(d, "documentsList")),
                     (QStringList{deep + QLatin1Char('/'), file}));
            Click(Find<QPushButton>(d, "applyButton"));
            // Named twice (itself and in its folder), stamped once.
            QVERIFY(Checks(file));
            QCOMPARE(Text(file).count(QStringLiteral("ALPHASTAMP")), 3);
        }));
    }

    // ---- Command buttons ----

    void commandButtonsFollowWhatARunWouldDo_data() {
        QTest::addColumn<QString>("tesserions"); // none, current, selected, selected-empty
        QTest::addColumn<bool>("multiple");
        QTest::addColumn<bool>("openDocument");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<bool>("infoTitle");
        QTest::addColumn<bool>("print");
        QTest::addColumn<bool>("apply");
        QTest::newRow("none, nothing to set")
            << "none" << true << true << true << false << false << false;
        QTest::newRow("none, a title to set")
            << "none" << true << true << true << true << false << true;
        QTest::newRow("current tesserion, current document")
            << "current" << false << true << false << false << true << true;
        QTest::newRow("no current document")
            << "current" << false << false << false << true << false << false;
        QTest::newRow("selected, none chosen")
            << "selected-empty" << true << false << true << false << false << false;
        QTest::newRow("selected, one chosen")
            << "selected" << true << false << true << false << true << true;
        QTest::newRow("empty list")
            << "selected" << true << true << false << true << false << false;
    }
    void commandButtonsFollowWhatARunWouldDo() {
        QFETCH(QString, tesserions);
        QFETCH(bool, multiple);
        QFETCH(bool, openDocument);
        QFETCH(bool, listed);
        QFETCH(bool, infoTitle);
        QFETCH(bool, print);
        QFETCH(bool, apply);
        QTemporaryDir dir;
        Copies(dir.path(), {"a.pdf"});
        Desktop desktop;
        if (openDocument) {
            QVERIFY(desktop.window.OpenFile(kSample));
        }
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            if (infoTitle) {
                ClickTab(d, kInfoTab);
                Click(Find<QCheckBox>(d, "titleBox"));
                TypeText(Find<QWidget>(d, "titleText"), QStringLiteral("A title"));
            }
            ClickTab(d, kApplyTab);
            if (tesserions == QStringLiteral("none")) {
                Click(Find<QRadioButton>(d, "noTesserion"));
            } else if (tesserions == QStringLiteral("current")) {
                Click(Find<QRadioButton>(d, "currentTesserion"));
            } else if (tesserions == QStringLiteral("selected")) {
                Choose(d, {"Alpha"});
            } else {
                Click(Find<QRadioButton>(d, "selectedTesserions"));
            }
            Click(Find<QRadioButton>(d, multiple ? "multipleDocuments" : "currentDocument"));
            if (listed) {
                Click(Find<QRadioButton>(d, "multipleDocuments"));
                QVERIFY(Drop(DocumentsArea(d), {QUrl::fromLocalFile(dir.filePath("a.pdf"))})
                            .dropAccepted);
                Click(Find<QRadioButton>(d, multiple ? "multipleDocuments" : "currentDocument"));
            }
            QCOMPARE(CommandButtons(d), (Buttons{print, apply, false}));
            // Only the Apply page commands them.
            ClickTab(d, kInfoTab);
            QCOMPARE(CommandButtons(d), (Buttons{false, false, false}));
            ClickTab(d, kApplyTab);
            QCOMPARE(CommandButtons(d), (Buttons{print, apply, false}));
        }));
    }

    // ---- Runs on the current document ----

    void applyThenUndoOnTheCurrentDocument() {
        QTemporaryDir dir;
        const QString copy = Copies(dir.path(), {"report.pdf"}).constFirst();
        const QByteArray original = ReadAll(copy);
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        tesser::app::PageView* view = desktop.window.ActivePageView();
        QTRY_VERIFY(!view->RenderedPage(0).isNull());
        const QImage before = view->RenderedPage(0);
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha", "Gamma"});
            Click(Find<QRadioButton>(d, "currentDocument"));
            QCOMPARE(CommandButtons(d), (Buttons{true, true, false}));
            Click(Find<QPushButton>(d, "applyButton"));
            // No progress window for the current document; the undo history shows.
            QCOMPARE(CommandButtons(d), (Buttons{true, true, true}));
            QVERIFY(DisplayText(desktop, dir.path()).contains(QStringLiteral("ALPHASTAMP")));
            QVERIFY(DisplayText(desktop, dir.path()).contains(QStringLiteral("GAMMASTAMP")));
            // The view renders the stamps once the run has handed control back.
            QTRY_VERIFY(view->RenderedPage(0) != before && !view->RenderedPage(0).isNull());
            QTRY_COMPARE(desktop.window.windowTitle(), Title(QStringLiteral("report.pdf*")));

            Click(Find<QPushButton>(d, "undoButton"));
            QCOMPARE(CommandButtons(d), (Buttons{true, true, false}));
            QCOMPARE(DisplayText(desktop, dir.path()), Text(kSample));
            QTRY_COMPARE(view->RenderedPage(0), before);
        }));
        // Nothing left to undo and no changes before: unchanged again once the dialog closed.
        QTRY_COMPARE(desktop.window.windowTitle(), Title(QStringLiteral("report.pdf")));
        QCOMPARE(ReadAll(copy), original);
    }

    void applyWithoutUndoLeavesTheDocumentMarked() {
        QTemporaryDir dir;
        const QString copy = Copies(dir.path(), {"report.pdf"}).constFirst();
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha"});
            Click(Find<QRadioButton>(d, "currentDocument"));
            Click(Find<QPushButton>(d, "applyButton"));
        }));
        QTRY_COMPARE(desktop.window.windowTitle(), Title(QStringLiteral("report.pdf*")));
        QVERIFY(DisplayText(desktop, dir.path()).contains(QStringLiteral("ALPHASTAMP")));
    }

    void printTheCurrentDocumentToAFile() {
        QTemporaryDir dir;
        const QString copy = Copies(dir.path(), {"report.pdf"}).constFirst();
        const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
        Desktop desktop;
        desktop.host.SetPrintToFile(printed.toStdString());
        QVERIFY(desktop.window.OpenFile(copy));
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Gamma"});
            Click(Find<QRadioButton>(d, "currentDocument"));
            Click(Find<QPushButton>(d, "printButton"));
            // Printing leaves no history.
            QCOMPARE(CommandButtons(d), (Buttons{true, true, false}));
        }));
        QVERIFY(Checks(printed));
        QVERIFY(Text(printed).contains(QStringLiteral("GAMMASTAMP")));
        // The stamps came off again and the document is as unchanged as before.
        QVERIFY(!DisplayText(desktop, dir.path()).contains(QStringLiteral("STAMP")));
        QTRY_COMPARE(desktop.window.windowTitle(), Title(QStringLiteral("report.pdf")));
    }

    // ---- Runs over lists ----

    void applyToFilesAndAFolderThenUndo() {
        QTemporaryDir dir;
        const QStringList files = Copies(dir.path(), {"one.pdf", "two.pdf", "three.pdf"});
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Folder")));
        const QStringList inFolder =
            Copies(dir.filePath(QStringLiteral("Folder")), {"four.pdf", "Five.PDF"});
        QVERIFY(QDir(dir.filePath(QStringLiteral("Folder"))).mkdir(QStringLiteral("Deeper")));
        const QString deeper =
            Copies(dir.filePath(QStringLiteral("Folder/Deeper")), {"six.pdf"}).constFirst();
        const QByteArray original = ReadAll(kSample);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha"});
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            QList<QUrl> urls;
            for (const QString& f : files) {
                urls.append(QUrl::fromLocalFile(f));
            }
            urls.append(QUrl::fromLocalFile(dir.filePath(QStringLiteral("Folder"))));
            QVERIFY(Drop(DocumentsArea(d), urls).dropAccepted);
            ProgressWatch watch(desktop, d, -1);
            Click(Find<QPushButton>(d, "applyButton"));
            // The window named each file with the count of those finished before it, in the
            // list's order (sorted ignoring case; a folder's files in byte order).
            const QStringList order = {dir.filePath("Folder/Five.PDF"),
                                       dir.filePath("Folder/four.pdf"), files[0], files[2],
                                       files[1]};
            QStringList named;
            for (int i = 0; i < order.size(); ++i) {
                named.append(
                    QStringLiteral("Current file: %1|Files processed: %2").arg(order[i]).arg(i));
            }
            for (const QString& expected : named) {
                QVERIFY2(watch.seen.contains(expected), qPrintable(watch.seen.join("\n")));
            }
            QVERIFY(watch.registeredWithHost);
            QVERIFY(watch.dialogDisabled);
            QVERIFY(watch.presentedAsDialog);
            QVERIFY(watch.barShown);
            QVERIFY(qApp->findChild<QWidget*>(QStringLiteral("progressWindow")) == nullptr);
            QVERIFY(desktop.host.ModelessWindows().empty());
            QCOMPARE(CommandButtons(d), (Buttons{true, true, true}));
            QVERIFY(Find<QPushButton>(d, "closeButton")->isEnabled());
            QVERIFY(Find<QListWidget>(d, "documentsList")->isEnabled());

            for (const QString& f : files + inFolder) {
                QVERIFY2(Checks(f), qPrintable(f));
                const QPointF at = WordAt(f, QStringLiteral("ALPHASTAMP"));
                QVERIFY2(qAbs(at.x() - 100) < 1, qPrintable(f));
            }
            // Subfolders are not entered.
            QCOMPARE(ReadAll(deeper), original);

            Click(Find<QPushButton>(d, "undoButton"));
            QCOMPARE(CommandButtons(d), (Buttons{true, true, false}));
            for (const QString& f : files + inFolder) {
                QVERIFY2(Checks(f), qPrintable(f));
                QVERIFY2(!Text(f).contains(QStringLiteral("ALPHASTAMP")), qPrintable(f));
                QCOMPARE(Text(f), Text(kSample));
            }
        }));
    }

    void anErrorInTheListIsAnsweredYesOrNo_data() {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("Yes goes on") << true;
        QTest::newRow("No stops") << false;
    }
    void anErrorInTheListIsAnsweredYesOrNo() {
        QFETCH(bool, goOn);
        QTemporaryDir dir;
        const QStringList files = Copies(dir.path(), {"a.pdf", "c.pdf"});
        const QString broken = dir.filePath(QStringLiteral("b.pdf"));
        {
            QFile file(broken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("this is no PDF file\n");
        }
        const QByteArray original = ReadAll(kSample);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha"});
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            QVERIFY(
                Drop(DocumentsArea(d), {QUrl::fromLocalFile(files[0]), QUrl::fromLocalFile(broken),
                                        QUrl::fromLocalFile(files[1])})
                    .dropAccepted);
            ErrorAnswers answers(goOn ? QMessageBox::Yes : QMessageBox::No);
            Click(Find<QPushButton>(d, "applyButton"));
            QCOMPARE(answers.texts.size(), 1);
            QVERIFY2(answers.texts[0].startsWith(
                         QStringLiteral("Tesser Pro|Error processing document: ") + broken +
                         QLatin1Char('\n')),
                     qPrintable(answers.texts[0]));
            QVERIFY(Text(files[0]).contains(QStringLiteral("ALPHASTAMP")));
            if (goOn) {
                QVERIFY(Text(files[1]).contains(QStringLiteral("ALPHASTAMP")));
            } else {
                QCOMPARE(ReadAll(files[1]), original);
            }
            QCOMPARE(ReadAll(broken), QByteArray("this is no PDF file\n"));
            QCOMPARE(CommandButtons(d), (Buttons{true, true, true}));
            Click(Find<QPushButton>(d, "undoButton"));
            QVERIFY(!Text(files[0]).contains(QStringLiteral("ALPHASTAMP")));
            QVERIFY(!Text(files[1]).contains(QStringLiteral("ALPHASTAMP")));
            QCOMPARE(CommandButtons(d), (Buttons{true, true, false}));
        }));
    }

    void abortStopsBetweenDocumentsOfAFolder() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("many")));
        QStringList names;
        for (int i = 0; i < 30; ++i) {
            names.append(QStringLiteral("f%1.pdf").arg(i, 3, 10, QLatin1Char('0')));
        }
        const QStringList files = Copies(dir.filePath(QStringLiteral("many")), names);
        const QByteArray original = ReadAll(kSample);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha"});
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            QVERIFY(
                Drop(DocumentsArea(d), {QUrl::fromLocalFile(dir.filePath("many"))}).dropAccepted);
            ProgressWatch watch(desktop, d, 2);
            Click(Find<QPushButton>(d, "applyButton"));
            // The click came while the third file was taken up at the latest; the run stopped
            // after the document in hand.
            int stamped = 0;
            for (const QString& f : files) {
                const QByteArray bytes = ReadAll(f);
                if (bytes == original) {
                    continue;
                }
                ++stamped;
                QVERIFY2(Checks(f), qPrintable(f));
                QVERIFY(Text(f).contains(QStringLiteral("ALPHASTAMP")));
            }
            QVERIFY2(stamped >= 2 && stamped <= 3, qPrintable(QString::number(stamped)));
            QVERIFY(watch.acknowledged);
            QCOMPARE(watch.seen.constLast(),
                     QStringLiteral("Current file: Process aborted by user.|Files processed: %1")
                         .arg(stamped));
            // The window is gone; the page keeps what the run did.
            auto* status = Find<QLabel>(d, "runStatus");
            QVERIFY(status->isVisible());
            QCOMPARE(
                status->text(),
                QStringLiteral("Apply: %1 processed, 0 failed; aborted after %1.").arg(stamped));
            QCOMPARE(CommandButtons(d), (Buttons{true, true, true}));
            // Undo is not stopped by the earlier abort.
            Click(Find<QPushButton>(d, "undoButton"));
            for (const QString& f : files) {
                QVERIFY(!Text(f).contains(QStringLiteral("ALPHASTAMP")));
            }
            QCOMPARE(status->text(), QStringLiteral("Undo: %1 restored, 0 failed.").arg(stamped));
        }));
    }

    // How long "Abort" takes to stop a run over a 10,000-page file and over a 200-file folder,
    // printed for the record; run with TESSER_ABORT_TIMING=1 (it makes its files, which takes a
    // while). What is checked is what Abort promises: the run ends after the document in hand.
    void abortOnLargeRuns() {
        if (qEnvironmentVariableIsEmpty("TESSER_ABORT_TIMING")) {
            QSKIP("set TESSER_ABORT_TIMING=1 to time Abort on a 10,000-page file and 200 files");
        }
        QTemporaryDir dir;
        const QString big = dir.filePath(QStringLiteral("big.pdf"));
        QStringList pages = {QStringLiteral("--empty"), QStringLiteral("--pages")};
        for (int i = 0; i < 3334; ++i) {
            pages.append(kSample);
        }
        pages << QStringLiteral("--") << big;
        QCOMPARE(RunTool(QStringLiteral("qpdf"), pages).exitCode, 0);
        const QStringList after = Copies(dir.path(), {"small1.pdf", "small2.pdf"});
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("many")));
        QStringList names;
        for (int i = 0; i < 200; ++i) {
            names.append(QStringLiteral("f%1.pdf").arg(i, 3, 10, QLatin1Char('0')));
        }
        const QStringList many = Copies(dir.filePath(QStringLiteral("many")), names);
        const QByteArray original = ReadAll(kSample);

        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha"});
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            QVERIFY(Drop(DocumentsArea(d), {QUrl::fromLocalFile(big), QUrl::fromLocalFile(after[0]),
                                            QUrl::fromLocalFile(after[1])})
                        .dropAccepted);
            {
                // Abort as the big file is taken up: it is finished, the next ones are not.
                ProgressWatch watch(desktop, d, 0);
                Click(Find<QPushButton>(d, "applyButton"));
                qInfo("10,000-page file: Abort clicked at %lld ms, run ended at %lld ms",
                      watch.clickedAt, watch.clock.elapsed());
                QVERIFY(Text(big).contains(QStringLiteral("ALPHASTAMP")));
                QCOMPARE(ReadAll(after[0]), original);
                QCOMPARE(ReadAll(after[1]), original);
            }
            SelectItems(Find<QListWidget>(d, "documentsList"), {big, after[0], after[1]});
            Click(Find<QPushButton>(d, "removeButton"));
            QVERIFY(
                Drop(DocumentsArea(d), {QUrl::fromLocalFile(dir.filePath("many"))}).dropAccepted);
            {
                ProgressWatch watch(desktop, d, 100);
                Click(Find<QPushButton>(d, "applyButton"));
                qInfo("200 files: Abort clicked at %lld ms, run ended at %lld ms", watch.clickedAt,
                      watch.clock.elapsed());
                int stamped = 0;
                for (const QString& f : many) {
                    stamped += ReadAll(f) != original ? 1 : 0;
                }
                QVERIFY2(stamped >= 100 && stamped <= 101, qPrintable(QString::number(stamped)));
            }
        }));
    }

    void printAListChangesNoFile() {
        QTemporaryDir dir;
        const QString file = Copies(dir.path(), {"a.pdf"}).constFirst();
        const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
        const QByteArray original = ReadAll(file);
        Desktop desktop;
        desktop.host.SetPrintToFile(printed.toStdString());
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kApplyTab);
            Choose(d, {"Alpha", "Gamma"});
            Click(Find<QRadioButton>(d, "multipleDocuments"));
            QVERIFY(Drop(DocumentsArea(d), {QUrl::fromLocalFile(file)}).dropAccepted);
            ProgressWatch watch(desktop, d, -1);
            Click(Find<QPushButton>(d, "printButton"));
            QVERIFY(watch.seen.contains(
                QStringLiteral("Current file: %1|Files processed: 0").arg(file)));
            QCOMPARE(CommandButtons(d), (Buttons{true, true, false}));
        }));
        QCOMPARE(ReadAll(file), original);
        QVERIFY(Checks(printed));
        const QString text = Text(printed);
        QVERIFY(text.contains(QStringLiteral("ALPHASTAMP")));
        QVERIFY(text.contains(QStringLiteral("GAMMASTAMP")));
    }
};

QTEST_MAIN(ApplyPageTest)
#include "ApplyPageTest.moc"
