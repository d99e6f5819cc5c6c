// The Info, Open and Security pages and "Confirm passwords", worked through their controls in
// the real module over the real desktop host; what they hold is applied by the dialog's run to a
// real document, saved, and read back with pdfinfo and qpdf.
#include "DialogTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace dialogtest;

namespace {

enum { kInfoTab = 1, kOpenTab = 2, kSecurityTab = 3, kApplyTab = 4 };
enum { kCross = 0, kTick = 1 };

const QString kBadPageNumber = QStringLiteral(
    "The page number is invalid\n\nIt should be null or a positive integer not greater than "
    "999999999");

QString Refused(const QString& character, const QString& codePoint, const QString& field) {
    return QStringLiteral("The character U+%1 \u201C%2\u201D has no Windows-1252 form and "
                          "cannot be stored in the field \u201C%3\u201D.")
        .arg(codePoint, character, field);
}

// Clicks a three-state box until it shows state.
void SetState(QCheckBox* box, Qt::CheckState state) {
    for (int i = 0; i < 3 && box->checkState() != state; ++i) {
        Click(box);
    }
}

// Answers the next "Confirm passwords" with the two texts, then OK (or Cancel when ok is
// false); records whether OK could be pressed.
struct ConfirmAnswer {
    QString open;
    QString owner;
    bool ok = true;
    bool seen = false;
    bool openEnabled = false;
    bool ownerEnabled = false;
    bool okEnabledAtOpening = false;
    bool okEnabledAfterTyping = false;
};

void AnswerConfirmPasswords(ConfirmAnswer& answer) {
    WhenModalShown("QDialog", QStringLiteral("confirmPasswordsDialog"), [&answer](QWidget* w) {
        auto* dialog = static_cast<QDialog*>(w);
        auto* open = Find<QLineEdit>(dialog, "confirmOpenPassword");
        auto* owner = Find<QLineEdit>(dialog, "confirmOwnerPassword");
        auto* ok = Find<QPushButton>(dialog, "okButton");
        answer.seen = true;
        answer.openEnabled = open->isEnabled();
        answer.ownerEnabled = owner->isEnabled();
        answer.okEnabledAtOpening = ok->isEnabled();
        if (open->isEnabled()) {
            TypeText(open, answer.open);
        }
        if (owner->isEnabled()) {
            TypeText(owner, answer.owner);
        }
        answer.okEnabledAfterTyping = ok->isEnabled();
        if (answer.ok && ok->isEnabled()) {
            Click(ok);
        } else {
            Click(Find<QPushButton>(dialog, "cancelButton"));
        }
    });
}

// On the Apply page: no Tesserion, the current document, then "Apply".
void ApplySettingsToCurrentDocument(QDialog* d) {
    ClickTab(d, kApplyTab);
    Click(Find<QRadioButton>(d, "noTesserion"));
    Click(Find<QRadioButton>(d, "currentDocument"));
    Click(Find<QPushButton>(d, "applyButton"));
}

QJsonObject Catalogue(const QString& path, const QString& password) {
    const ToolResult json =
        RunTool(QStringLiteral("qpdf"),
                {QStringLiteral("--json"), QStringLiteral("--password=") + password, path});
    const QJsonObject root = QJsonDocument::fromJson(json.output.toUtf8()).object();
    const QJsonObject objects = root[QStringLiteral("qpdf")].toArray()[1].toObject();
    const QString rootRef = objects[QStringLiteral("trailer")]
                                .toObject()[QStringLiteral("value")]
                                .toObject()[QStringLiteral("/Root")]
                                .toString();
    return objects[QStringLiteral("obj:") + rootRef].toObject()[QStringLiteral("value")].toObject();
}

QString PageObject(const QString& path, const QString& password, int index) {
    const ToolResult json =
        RunTool(QStringLiteral("qpdf"),
                {QStringLiteral("--json"), QStringLiteral("--password=") + password, path});
    const QJsonObject root = QJsonDocument::fromJson(json.output.toUtf8()).object();
    return root[QStringLiteral("pages")]
        .toArray()[index]
        .toObject()[QStringLiteral("object")]
        .toString();
}

} // namespace

class SettingsPagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

private slots:
    void initTestCase() {
        QuietOffscreenWarnings();
        QVERIFY(UseTemporaryHome(home_));
    }

    // ---- Every page, for a keyboard user ----

    // The mnemonics that reach something on a page (its buttons, labels with a buddy, group
    // titles), the tabs' and the dialog's buttons included, are distinct on every page.
    void everyPageHasDistinctMnemonics() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* tabs = d->findChild<QTabWidget*>();
            QVERIFY(tabs != nullptr);
            for (int tab = 0; tab < tabs->count(); ++tab) {
                ClickTab(d, tab);
                QMap<QChar, QStringList> owners;
                const auto add = [&](const QString& text) {
                    const qsizetype at = text.indexOf(QLatin1Char('&'));
                    if (at >= 0 && at + 1 < text.size() && text[at + 1] != QLatin1Char('&')) {
                        owners[text[at + 1].toLower()].append(text);
                    }
                };
                for (auto* button : d->findChildren<QAbstractButton*>()) {
                    if (button->isVisibleTo(d) && button->window() == d) {
                        add(button->text());
                    }
                }
                for (auto* label : d->findChildren<QLabel*>()) {
                    if (label->isVisibleTo(d) && label->buddy() != nullptr) {
                        add(label->text());
                    }
                }
                for (auto* group : d->findChildren<QGroupBox*>()) {
                    if (group->isVisibleTo(d)) {
                        add(group->title());
                    }
                }
                for (int t = 0; t < tabs->count(); ++t) {
                    add(tabs->tabText(t));
                }
                for (auto it = owners.cbegin(); it != owners.cend(); ++it) {
                    QVERIFY2(it.value().size() == 1,
                             qPrintable(tabs->tabText(tab) + QStringLiteral(": Alt+") + it.key() +
                                        QStringLiteral(" is ") + it.value().join(", ")));
                }
                for (const char* name :
                     {"printButton", "applyButton", "undoButton", "closeButton"}) {
                    QVERIFY2(Find<QPushButton>(d, name)->text().contains(QLatin1Char('&')), name);
                }
            }
        }));
    }

    // A check box changed by a screen reader's Toggle action (or by setChecked) is followed as a
    // click is: its fields and the tab's mark.
    void checkBoxesFollowTheirStateHoweverItChanges() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            const auto toggle = [](QWidget* box) {
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
                QVERIFY(a != nullptr && a->actionInterface() != nullptr);
                a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            };
            ClickTab(d, kSecurityTab);
            auto* open = Find<QLineEdit>(d, "openPassword");
            QVERIFY(!open->isEnabled());
            toggle(Find<QCheckBox>(d, "changeSecurity"));
            QVERIFY(Find<QCheckBox>(d, "changeSecurity")->isChecked());
            QVERIFY(open->isEnabled());
            QCOMPARE(TabImage(d, kSecurityTab), kTick);

            ClickTab(d, kInfoTab);
            auto* title = Find<QLineEdit>(d, "titleText");
            QVERIFY(!title->isEnabled());
            toggle(Find<QCheckBox>(d, "titleBox"));
            QVERIFY(title->isEnabled());
            QCOMPARE(TabImage(d, kInfoTab), kTick);
            Find<QCheckBox>(d, "titleBox")->setChecked(false);
            QVERIFY(!title->isEnabled());
            QCOMPARE(TabImage(d, kInfoTab), kCross);

            ClickTab(d, kOpenTab);
            QCOMPARE(TabImage(d, kOpenTab), kCross);
            Find<QCheckBox>(d, "fullScreen")->setCheckState(Qt::Checked);
            QCOMPARE(TabImage(d, kOpenTab), kTick);
            Find<QCheckBox>(d, "fullScreen")->setCheckState(Qt::PartiallyChecked);
            Find<QComboBox>(d, "viewList")->setCurrentIndex(1);
            QCOMPARE(TabImage(d, kOpenTab), kTick);
        }));
    }

    // Drop-down lists are named by their labels, their value is what they show, and each comes
    // after its label in the reading order.
    void dropDownListsAreNamedByTheirLabels() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            const std::pair<const char*, const char*> lists[] = {
                {"fontFace", "Face"},
                {"colorList", "Colour"},
                {"nameBox", "Name"},
                {"unitsList", "Units"},
                {"viewList", "View"},
                {"magnificationList", "Magnification"},
                {"pageLayoutList", "Page layout"}};
            for (const auto& [object, name] : lists) {
                auto* list = Find<QComboBox>(d, object);
                QVERIFY2(list != nullptr, object);
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(list);
                QVERIFY(a != nullptr);
                QCOMPARE(a->role(), QAccessible::ComboBox);
                QCOMPARE(a->text(QAccessible::Name), QString::fromLatin1(name));
                QCOMPARE(a->text(QAccessible::Value), list->currentText());
            }
            for (const char* object : {"viewList", "magnificationList", "pageLayoutList"}) {
                auto* list = Find<QComboBox>(d, object);
                QLabel* label = nullptr;
                for (auto* l : list->parentWidget()->findChildren<QLabel*>()) {
                    label = l->buddy() == list ? l : label;
                }
                QVERIFY2(label != nullptr, object);
                const QObjectList& children = list->parentWidget()->children();
                QVERIFY2(children.indexOf(label) < children.indexOf(list), object);
            }
        }));
    }

    // ---- Info ----

    void infoTextsAreUsableWithTheirBoxesAndTheTabShowsIt() {
        QTemporaryDir dir;
        const QString index = dir.filePath(QStringLiteral("books.pdx"));
        QFile file(index);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            QCOMPARE(TabImage(d, kInfoTab), kCross);
            QCOMPARE(ClickTab(d, kInfoTab), kInfoTab);
            QCOMPARE(TabImage(d, kInfoTab), kCross);
            for (const char* name : {"titleText", "subjectText", "authorText", "keywordsText",
                                     "indexText", "baseUrlText", "browseButton"}) {
                QVERIFY2(!Find<QWidget>(d, name)->isEnabled(), name);
            }
            Click(Find<QCheckBox>(d, "titleBox"));
            QVERIFY(Find<QLineEdit>(d, "titleText")->isEnabled());
            QCOMPARE(TabImage(d, kInfoTab), kTick);
            Click(Find<QCheckBox>(d, "titleBox"));
            QCOMPARE(TabImage(d, kInfoTab), kCross);

            Click(Find<QCheckBox>(d, "indexBox"));
            QVERIFY(Find<QLineEdit>(d, "indexText")->isEnabled());
            QVERIFY(Find<QPushButton>(d, "browseButton")->isEnabled());
            QStringList filters;
            WhenModalShown("QFileDialog", QStringLiteral("indexFileDialog"), [&](QWidget* w) {
                auto* chooser = static_cast<QFileDialog*>(w);
                filters = chooser->nameFilters();
                ChooseInFileDialog(chooser, index);
            });
            Click(Find<QPushButton>(d, "browseButton"));
            QCOMPARE(filters, (QStringList{"Acrobat Index Files (*.pdx)", "All Files (*)"}));
            QCOMPARE(Find<QLineEdit>(d, "indexText")->text(), index);
        }));
    }

    // ---- Open ----

    void openPageNumberIsCheckedWhenLeaving_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message");
        QTest::newRow("leading zeros") << "000000012"
                                       << "000000012" << QString();
        QTest::newRow("nine digits") << "999999999"
                                     << "999999999" << QString();
        QTest::newRow("empty") << ""
                               << "" << QString();
        QTest::newRow("ten digits") << "1234567890"
                                    << "1234567890" << kBadPageNumber;
        QTest::newRow("letters are not taken") << "1a2-"
                                               << "12" << QString();
    }
    void openPageNumberIsCheckedWhenLeaving() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kOpenTab);
            auto* page = Find<QLineEdit>(d, "pageNumber");
            TypeText(page, typed);
            QCOMPARE(page->text(), shown);
            QCOMPARE(MessageDuring(kPageMessage, [&] { ClickTab(d, kSecurityTab); }), message);
            QCOMPARE(ShownTab(d), message.isEmpty() ? kSecurityTab : kOpenTab);
        }));
    }

    void openTabShowsWhetherAnythingWouldChange() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kOpenTab);
            QCOMPARE(TabImage(d, kOpenTab), kCross);
            for (const char* name : {"viewList", "magnificationList", "pageLayoutList"}) {
                auto* list = Find<QComboBox>(d, name);
                QCOMPARE(list->currentText(), QStringLiteral("[Do not change]"));
                ChooseRow(list, 1);
                QCOMPARE(TabImage(d, kOpenTab), kTick);
                ChooseRow(list, 0);
                QCOMPARE(TabImage(d, kOpenTab), kCross);
            }
            auto* page = Find<QLineEdit>(d, "pageNumber");
            TypeText(page, QStringLiteral("0"));
            QCOMPARE(TabImage(d, kOpenTab), kCross);
            TypeText(page, QStringLiteral("3"));
            QCOMPARE(TabImage(d, kOpenTab), kTick);
            TypeText(page, QString());
            QCOMPARE(TabImage(d, kOpenTab), kCross);
            for (const char* name : {"fitWindow", "centerWindow", "fullScreen", "hideMenuBar",
                                     "hideToolBar", "hideWindowUI"}) {
                auto* box = Find<QCheckBox>(d, name);
                QCOMPARE(box->checkState(), Qt::PartiallyChecked);
                SetState(box, Qt::Checked);
                QCOMPARE(TabImage(d, kOpenTab), kTick);
                SetState(box, Qt::Unchecked);
                QCOMPARE(TabImage(d, kOpenTab), kTick);
                SetState(box, Qt::PartiallyChecked);
                QCOMPARE(TabImage(d, kOpenTab), kCross);
            }
        }));
    }

    // ---- Security ----

    void securityFieldsFollowChangeSecuritySettings() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kSecurityTab);
            QCOMPARE(TabImage(d, kSecurityTab), kCross);
            const char* passwords[] = {"currentPassword", "openPassword", "ownerPassword"};
            for (const char* name : passwords) {
                QCOMPARE(Find<QLineEdit>(d, name)->echoMode(), QLineEdit::Password);
            }
            const char* denied[] = {"denyPrinting", "denyChanging", "denySelecting", "denyNotes"};
            QVERIFY(Find<QLineEdit>(d, "currentPassword")->isEnabled());
            for (const char* name : {"openPassword", "ownerPassword"}) {
                QVERIFY(!Find<QWidget>(d, name)->isEnabled());
            }
            for (const char* name : denied) {
                QVERIFY(!Find<QCheckBox>(d, name)->isEnabled());
                QVERIFY(!Find<QCheckBox>(d, name)->isChecked()); // all four permissions granted
            }
            QVERIFY(Find<QLabel>(d, "ownerPasswordNote")
                        ->text()
                        .contains(
                            QStringLiteral("the password to open the document is used for both")));

            Click(Find<QCheckBox>(d, "changeSecurity"));
            QCOMPARE(TabImage(d, kSecurityTab), kTick);
            for (const char* name : {"openPassword", "ownerPassword"}) {
                QVERIFY(Find<QWidget>(d, name)->isEnabled());
            }
            for (const char* name : denied) {
                QVERIFY(Find<QCheckBox>(d, name)->isEnabled());
            }
        }));
    }

    // ---- Applied to a document ----

    void settingsTypedOnThePagesReachTheSavedDocument() {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY(QFile::copy(kSample, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        ConfirmAnswer confirm{QStringLiteral("user pw"), QStringLiteral("Owner-1")};
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kInfoTab);
            const struct {
                const char* box;
                const char* text;
                QString value;
            } info[] = {
                {"titleBox", "titleText", QStringLiteral("Quarterly report \u00E9t\u00E9")},
                {"subjectBox", "subjectText", QStringLiteral("Figures")},
                {"authorBox", "authorText", QStringLiteral("Finance")},
                {"keywordsBox", "keywordsText", QStringLiteral("q3, report")},
                {"baseUrlBox", "baseUrlText", QStringLiteral("https://example.org/docs/")},
            };
            for (const auto& item : info) {
                Click(Find<QCheckBox>(d, item.box));
                TypeText(Find<QLineEdit>(d, item.text), item.value);
            }

            QCOMPARE(ClickTab(d, kOpenTab), kOpenTab);
            ChooseRow(Find<QComboBox>(d, "viewList"), 3);           // Bookmarks and page
            ChooseRow(Find<QComboBox>(d, "magnificationList"), 10); // Fit width
            ChooseRow(Find<QComboBox>(d, "pageLayoutList"), 3);     // Continuous
            TypeText(Find<QLineEdit>(d, "pageNumber"), QStringLiteral("000000002"));
            SetState(Find<QCheckBox>(d, "fitWindow"), Qt::Unchecked);
            SetState(Find<QCheckBox>(d, "hideMenuBar"), Qt::Checked);

            QCOMPARE(ClickTab(d, kSecurityTab), kSecurityTab);
            Click(Find<QCheckBox>(d, "changeSecurity"));
            TypeText(Find<QLineEdit>(d, "openPassword"), confirm.open);
            TypeText(Find<QLineEdit>(d, "ownerPassword"), confirm.owner);
            Click(Find<QCheckBox>(d, "denyPrinting"));
            Click(Find<QCheckBox>(d, "denySelecting"));

            AnswerConfirmPasswords(confirm);
            ApplySettingsToCurrentDocument(d);
            QCOMPARE(ShownTab(d), kApplyTab);
            Click(Find<QPushButton>(d, "closeButton"));
        }));
        QVERIFY(confirm.seen);
        QVERIFY(confirm.openEnabled);
        QVERIFY(confirm.ownerEnabled);
        QVERIFY(!confirm.okEnabledAtOpening);
        QVERIFY(confirm.okEnabledAfterTyping);
        QVERIFY(desktop.window.SaveDocument());

        const ToolResult locked = RunTool(QStringLiteral("pdfinfo"), {copy});
        QVERIFY(locked.exitCode != 0);
        const ToolResult info =
            RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-upw"), confirm.open, copy});
        QCOMPARE(info.exitCode, 0);
        QVERIFY2(info.output.contains(
                     QStringLiteral("Title:           Quarterly report \u00E9t\u00E9\n")),
                 qPrintable(info.output));
        QVERIFY(info.output.contains(QStringLiteral("Subject:         Figures\n")));
        QVERIFY(info.output.contains(QStringLiteral("Author:          Finance\n")));
        QVERIFY(info.output.contains(QStringLiteral("Keywords:        q3, report\n")));
        QVERIFY2(info.output.contains(QStringLiteral(
                     "Encrypted:       yes (print:no copy:no change:yes addNotes:yes "
                     "algorithm:AES-256)")),
                 qPrintable(info.output));

        const ToolResult security =
            RunTool(QStringLiteral("qpdf"), {QStringLiteral("--show-encryption"),
                                             QStringLiteral("--password=") + confirm.owner, copy});
        QVERIFY2(security.output.contains(QStringLiteral("Supplied password is owner password")),
                 qPrintable(security.output));
        const ToolResult asUser =
            RunTool(QStringLiteral("qpdf"), {QStringLiteral("--show-encryption"),
                                             QStringLiteral("--password=") + confirm.open, copy});
        QVERIFY2(asUser.output.contains(QStringLiteral("Supplied password is user password")),
                 qPrintable(asUser.output));
        QVERIFY(security.output.contains(QStringLiteral("print high resolution: not allowed")));
        QVERIFY(security.output.contains(QStringLiteral("extract for any purpose: not allowed")));
        QVERIFY(security.output.contains(QStringLiteral("modify other: allowed")));
        QVERIFY(security.output.contains(QStringLiteral("modify annotations: allowed")));

        const QJsonObject catalogue = Catalogue(copy, confirm.owner);
        QCOMPARE(catalogue[QStringLiteral("/PageMode")].toString(), QStringLiteral("/UseOutlines"));
        QCOMPARE(catalogue[QStringLiteral("/PageLayout")].toString(), QStringLiteral("/OneColumn"));
        const QJsonObject action = catalogue[QStringLiteral("/OpenAction")].toObject();
        QCOMPARE(action[QStringLiteral("/S")].toString(), QStringLiteral("/GoTo"));
        const QJsonArray destination = action[QStringLiteral("/D")].toArray();
        QCOMPARE(destination.size(), 2);
        QCOMPARE(destination[0].toString(), PageObject(copy, confirm.owner, 1));
        QCOMPARE(destination[1].toString(), QStringLiteral("/FitH"));
        const QJsonObject preferences = catalogue[QStringLiteral("/ViewerPreferences")].toObject();
        // The PDF's own key: readers ignore "HideMenuBar".
        QCOMPARE(preferences.keys(), (QStringList{"/FitWindow", "/HideMenubar"}));
        QCOMPARE(preferences[QStringLiteral("/FitWindow")].toBool(true), false);
        QCOMPARE(preferences[QStringLiteral("/HideMenubar")].toBool(false), true);
        QCOMPARE(catalogue[QStringLiteral("/URI")].toObject()[QStringLiteral("/Base")].toString(),
                 QStringLiteral("u:https://example.org/docs/"));
    }

    void confirmPasswordsMustMatchBeforeARunChangesSecurity() {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("letter.pdf"));
        QVERIFY(QFile::copy(kSample, copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        Desktop desktop;
        QVERIFY(desktop.window.OpenFile(copy));
        ConfirmAnswer wrongCase{QString(), QStringLiteral("secret"), true};
        ConfirmAnswer cancelled{QString(), QStringLiteral("Secret"), false};
        ConfirmAnswer right{QString(), QStringLiteral("Secret")};
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, kSecurityTab);
            Click(Find<QCheckBox>(d, "changeSecurity"));
            TypeText(Find<QLineEdit>(d, "ownerPassword"), QStringLiteral("Secret"));

            // A password typed in another letter case leaves OK unusable; the run does not
            // start.
            AnswerConfirmPasswords(wrongCase);
            ApplySettingsToCurrentDocument(d);
            QVERIFY(wrongCase.seen);
            QVERIFY(!desktop.window.windowTitle().contains(QLatin1Char('*')));
            // Cancel with the right password does not start it either.
            AnswerConfirmPasswords(cancelled);
            Click(Find<QPushButton>(d, "applyButton"));
            QVERIFY(cancelled.seen);
            QVERIFY(!desktop.window.windowTitle().contains(QLatin1Char('*')));

            AnswerConfirmPasswords(right);
            Click(Find<QPushButton>(d, "applyButton"));
            QVERIFY(right.seen);
            QTRY_VERIFY(desktop.window.windowTitle().contains(QLatin1Char('*')));
            Click(Find<QPushButton>(d, "closeButton"));
        }));
        // Only the owner password was given: its box alone asks for it.
        QVERIFY(!wrongCase.openEnabled);
        QVERIFY(wrongCase.ownerEnabled);
        QVERIFY(!wrongCase.okEnabledAfterTyping);
        QVERIFY(cancelled.okEnabledAfterTyping);
        QVERIFY(right.okEnabledAfterTyping);

        QVERIFY(desktop.window.SaveDocument());
        // No open password: the document opens without one, and the owner password changes it.
        QCOMPARE(RunTool(QStringLiteral("pdfinfo"), {copy}).exitCode, 0);
        const ToolResult security =
            RunTool(QStringLiteral("qpdf"), {QStringLiteral("--show-encryption"),
                                             QStringLiteral("--password=Secret"), copy});
        QVERIFY2(security.output.contains(QStringLiteral("Supplied password is owner password")),
                 qPrintable(security.output));
        QVERIFY(security.output.contains(QStringLiteral("R = 6")));
    }

    // ---- Text encoding ----

    void aCharacterWithoutWindows1252FormIsRefused_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Title") << int(kInfoTab) << "titleBox"
                               << "titleText"
                               << "Title";
        QTest::newRow("Base URL") << int(kInfoTab) << "baseUrlBox"
                                  << "baseUrlText"
                                  << "Base URL";
        QTest::newRow("current password") << int(kSecurityTab) << ""
                                          << "currentPassword"
                                          << "Password";
        QTest::newRow("owner password") << int(kSecurityTab) << "changeSecurity"
                                        << "ownerPassword"
                                        << "Change security options";
    }
    void aCharacterWithoutWindows1252FormIsRefused() {
        QFETCH(int, tab);
        QFETCH(QString, box);
        QFETCH(QString, field);
        QFETCH(QString, caption);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ClickTab(d, tab);
            if (!box.isEmpty()) {
                Click(d->findChild<QCheckBox*>(box));
            }
            auto* text = d->findChild<QLineEdit*>(field);
            TypeText(text, QStringLiteral("ab\u4E2Dc"));
            QCOMPARE(MessageDuring(kPageMessage, [&] { ClickTab(d, kApplyTab); }),
                     Refused(QStringLiteral("\u4E2D"), QStringLiteral("4E2D"), caption));
            QCOMPARE(ShownTab(d), tab);
            // Characters of Windows-1252 beyond ASCII are taken.
            TypeText(text, QStringLiteral("\u20AC \u00E9\u00FF"));
            QCOMPARE(MessageDuring(kPageMessage, [&] { ClickTab(d, kApplyTab); }), QString());
            QCOMPARE(ShownTab(d), int(kApplyTab));
        }));
    }
};

QTEST_MAIN(SettingsPagesTest)
#include "SettingsPagesTest.moc"
