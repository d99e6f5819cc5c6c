// The Tesserion page of the Tesser Pro dialog, worked through its controls in the real module
// over the real desktop host: what is typed is saved into the profile and comes back, the checks
// made when the page is left, units, colours, the Name box, line breaks and text encoding.
#include "DialogTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace dialogtest;

namespace {

const QString kBadPosX = QStringLiteral("The position X coordinate is not a number!");
const QString kBadPosY = QStringLiteral("The position Y coordinate is not a number!");
const QString kBadAngle =
    QStringLiteral("The position angle is not a number in the range (-360 - +360) degrees!");
const QString kBadSize =
    QStringLiteral("The font size is not a number in the range (1 - 1000) points!");
const QString kBadLeading =
    QStringLiteral("The font leading is not a number in the range (-1000 - +1000) points!");
const QString kBadGray =
    QStringLiteral("The custom color value is not valid\nTry something like \"0.75\".");
const QString kBadRgb =
    QStringLiteral("The custom color value is not valid\nTry something like \"0.66,0.80,1.00\".");
const QString kBadCmyk = QStringLiteral(
    "The custom color value is not valid\nTry something like \"1.00,0.33,0.00,0.10\".");
const QString kBadRange =
    QStringLiteral("The page range is not valid!\nTry something like \"-3,5-7,10,20-\".");

// Rows of the colour list.
enum { kRed = 5, kCustomGray = 8, kCustomRgb = 9, kCustomCmyk = 10 };

// What the page's controls show.
struct Fields {
    QString text;
    int units = 1;
    QString x, y, angle;
    int justify = 0;
    int layer = 0;
    int face = 4;
    QString size, leading;
    int colour = 0;
    QString colourText;
    bool allPages = true;
    QString range;
    int spread = 0;
};

QStringList Describe(const Fields& f) {
    return {QStringLiteral("text=") + f.text,
            QStringLiteral("units=%1").arg(f.units),
            QStringLiteral("x=") + f.x,
            QStringLiteral("y=") + f.y,
            QStringLiteral("angle=") + f.angle,
            QStringLiteral("justify=%1").arg(f.justify),
            QStringLiteral("layer=%1").arg(f.layer),
            QStringLiteral("face=%1").arg(f.face),
            QStringLiteral("size=") + f.size,
            QStringLiteral("leading=") + f.leading,
            QStringLiteral("colour=%1").arg(f.colour),
            QStringLiteral("colourText=") + f.colourText,
            QStringLiteral("allPages=%1").arg(f.allPages),
            QStringLiteral("range=") + f.range,
            QStringLiteral("spread=%1").arg(f.spread)};
}

int Checked(QDialog* d, std::initializer_list<const char*> names) {
    int i = 0;
    for (const char* name : names) {
        if (Find<QRadioButton>(d, name)->isChecked()) {
            return i;
        }
        ++i;
    }
    return -1;
}

// The text box's lines as typed (toPlainText would turn no-break spaces into spaces).
QString ShownText(QDialog* d) {
    return Find<QPlainTextEdit>(d, "textBox")
        ->document()
        ->toRawText()
        .replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

Fields Shown(QDialog* d) {
    Fields f;
    f.text = ShownText(d);
    f.units = Find<QComboBox>(d, "unitsList")->currentIndex();
    f.x = Find<QLineEdit>(d, "posX")->text();
    f.y = Find<QLineEdit>(d, "posY")->text();
    f.angle = Find<QLineEdit>(d, "angle")->text();
    f.justify = Checked(d, {"justifyLeft", "justifyCentre", "justifyRight"});
    f.layer = Checked(d, {"foreground", "background"});
    f.face = Find<QComboBox>(d, "fontFace")->currentIndex();
    f.size = Find<QLineEdit>(d, "fontSize")->text();
    f.leading = Find<QLineEdit>(d, "fontLeading")->text();
    f.colour = Find<QComboBox>(d, "colorList")->currentIndex();
    f.colourText = Find<QLineEdit>(d, "colorText")->text();
    f.allPages = Find<QRadioButton>(d, "allPages")->isChecked();
    f.range = Find<QLineEdit>(d, "pageRange")->text();
    f.spread = Checked(d, {"oddAndEvenPages", "oddPagesOnly", "evenPagesOnly"});
    return f;
}

void Fill(QDialog* d, const Fields& f) {
    ChooseRow(Find<QComboBox>(d, "unitsList"), f.units);
    TypeText(Find<QPlainTextEdit>(d, "textBox"), f.text);
    TypeText(Find<QLineEdit>(d, "posX"), f.x);
    TypeText(Find<QLineEdit>(d, "posY"), f.y);
    TypeText(Find<QLineEdit>(d, "angle"), f.angle);
    const char* justify[] = {"justifyLeft", "justifyCentre", "justifyRight"};
    Click(Find<QRadioButton>(d, justify[f.justify]));
    Click(Find<QRadioButton>(d, f.layer == 0 ? "foreground" : "background"));
    ChooseRow(Find<QComboBox>(d, "fontFace"), f.face);
    TypeText(Find<QLineEdit>(d, "fontSize"), f.size);
    TypeText(Find<QLineEdit>(d, "fontLeading"), f.leading);
    ChooseRow(Find<QComboBox>(d, "colorList"), f.colour);
    if (f.colour >= kCustomGray) {
        TypeText(Find<QLineEdit>(d, "colorText"), f.colourText);
    }
    Click(Find<QRadioButton>(d, f.allPages ? "allPages" : "specifiedPages"));
    if (!f.allPages) {
        TypeText(Find<QLineEdit>(d, "pageRange"), f.range);
    }
    const char* spread[] = {"oddAndEvenPages", "oddPagesOnly", "evenPagesOnly"};
    Click(Find<QRadioButton>(d, spread[f.spread]));
}

// Names the Tesserion in the Name box and clicks "Save"; answers the alert's text, if any.
QString SaveAs(QDialog* d, const QString& name) {
    TypeText(Find<QComboBox>(d, "nameBox"), name);
    return MessageDuring(kHostAlert, [d] { Click(Find<QPushButton>(d, "saveButton")); });
}

void Paste(QWidget* field, const QString& text) {
    QApplication::clipboard()->setText(text);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

} // namespace

Q_DECLARE_METATYPE(Fields)

class DefinePageTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QString ProfilePath() const { return home_.filePath(QStringLiteral("config/Quorel.ini")); }

    void WriteProfile(const QByteArray& text) {
        QFile file(ProfilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

private slots:
    void initTestCase() {
        QuietOffscreenWarnings();
        QVERIFY(home_.isValid());
        QVERIFY(QDir().mkpath(home_.filePath(QStringLiteral("config"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath(QStringLiteral("config"))));
        qputenv("XDG_STATE_HOME", QFile::encodeName(home_.filePath(QStringLiteral("state"))));
    }

    void init() { QFile::remove(ProfilePath()); }

    // ---- Save, switch pages, reload from the profile ----

    void everyFieldComesBackFromTheProfile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Fields>("fields");
        Fields inches{QStringLiteral("Page &p of &P\nC:\\Docs\\\n\\\\server"),
                      1,
                      QStringLiteral("1.5"),
                      QStringLiteral("-0.25"),
                      QStringLiteral("45"),
                      1,
                      0,
                      10,
                      QStringLiteral("24"),
                      QStringLiteral("26.5"),
                      kRed,
                      QStringLiteral("1.00,0.00,0.00"),
                      true,
                      QString(),
                      1};
        Fields points{QStringLiteral("\u00A0Gr\u00F6\u00DFe \u00BF\u00BD\u00A9 \u00FF\u00E9\n"
                                     "  trailing  "),
                      0,
                      QStringLiteral("300"),
                      QStringLiteral("700.5"),
                      QStringLiteral("-90"),
                      2,
                      1,
                      0,
                      QStringLiteral("1"),
                      QStringLiteral("-1000"),
                      kCustomRgb,
                      QStringLiteral("0.25,0.50,0.75"),
                      false,
                      QStringLiteral("-3,5-7,10,20-"),
                      2};
        Fields centimetres{QStringLiteral("Draft"),
                           2,
                           QStringLiteral("2.54"),
                           QStringLiteral("10"),
                           QStringLiteral("360"),
                           0,
                           0,
                           13,
                           QStringLiteral("1000"),
                           QStringLiteral("1000"),
                           kCustomGray,
                           QStringLiteral("0.33"),
                           false,
                           QString(),
                           0};
        Fields cmyk{QStringLiteral("\n\nafter two empty lines"),
                    1,
                    QStringLiteral("0"),
                    QStringLiteral("11"),
                    QStringLiteral("-360"),
                    0,
                    1,
                    8,
                    QStringLiteral("0.5"),
                    QStringLiteral("0"),
                    kCustomCmyk,
                    QStringLiteral("0.10,0.20,0.30,0.40"),
                    false,
                    QStringLiteral("1 2,,4-"),
                    1};
        cmyk.size = QStringLiteral("7.25");
        QTest::newRow("inches, centred, red, odd pages")
            << QStringLiteral("Page numbers") << inches;
        QTest::newRow("points, bytes A0-FF, custom RGB, range, even pages")
            << QStringLiteral("Gr\u00F6\u00DFe \u00E9t\u00E9") << points;
        QTest::newRow("centimetres, custom gray, empty range")
            << QStringLiteral("cm") << centimetres;
        QTest::newRow("custom CMYK, background, odd pages") << QStringLiteral("Symbol 4") << cmyk;
    }
    void everyFieldComesBackFromTheProfile() {
        QFETCH(QString, name);
        QFETCH(Fields, fields);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            Fill(d, fields);
            QCOMPARE(Describe(Shown(d)), Describe(fields));
            TypeText(Find<QComboBox>(d, "nameBox"), name);
            QVERIFY(Find<QPushButton>(d, "saveButton")->isEnabled());
            QCOMPARE(MessageDuring(kHostAlert, [d] { Click(Find<QPushButton>(d, "saveButton")); }),
                     QString());
            QVERIFY(!Find<QPushButton>(d, "saveButton")->isEnabled());
            QVERIFY(Find<QPushButton>(d, "deleteButton")->isEnabled());
            QCOMPARE(ClickTab(d, 1), 1);
            QCOMPARE(ClickTab(d, 0), 0);
            QCOMPARE(Describe(Shown(d)), Describe(fields));
            Click(Find<QPushButton>(d, "closeButton"));
        }));

        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* names = Find<QComboBox>(d, "nameBox");
            QCOMPARE(names->count(), 2);
            QCOMPARE(names->currentText(), QStringLiteral("[Untitled]"));
            ChooseRow(names, 1);
            QCOMPARE(names->currentText(), name);
            QCOMPARE(Describe(Shown(d)), Describe(fields));
        }));

        const ToolResult list =
            RunTool(kTesserCli, {QStringLiteral("--list"), QStringLiteral("-p"), ProfilePath()});
        QCOMPARE(list.exitCode, 0);
        QCOMPARE(list.output, name + QStringLiteral(": valid\n"));
    }

    void lineBreaksAreStoredAsCrLfHoweverTheyCame() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* text = Find<QPlainTextEdit>(d, "textBox");
            TypeText(text, QStringLiteral("first\nsecond"));
            QCOMPARE(SaveAs(d, QStringLiteral("Typed")), QString());
            text->selectAll();
            Paste(text, QStringLiteral("one\r\ntwo\rthree\nfour\u2029five"));
            QCOMPARE(SaveAs(d, QStringLiteral("Pasted")), QString());
            Click(Find<QPushButton>(d, "closeButton"));
        }));
        const QByteArray profile = ReadAll(ProfilePath());
        QVERIFY2(profile.contains("\r\nText=first\\r\\nsecond\r\n"), profile.constData());
        QVERIFY2(profile.contains("\r\nText=one\\r\\ntwo\\r\\nthree\\r\\nfour\\r\\nfive\r\n"),
                 profile.constData());
    }

    // ---- Checks when the page is left ----

    void aBadFieldKeepsThePageWithItsMessage_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("colour");
        QTest::addColumn<bool>("specified");
        QTest::addColumn<QString>("message");
        const QString none;
        QTest::newRow("X letters") << "posX"
                                   << "abc" << -1 << false << kBadPosX;
        QTest::newRow("X white space only") << "posX"
                                            << " " << -1 << false << kBadPosX;
        QTest::newRow("X empty is 0") << "posX"
                                      << "" << -1 << false << none;
        QTest::newRow("Y with a unit") << "posY"
                                       << "2.5cm" << -1 << false << kBadPosY;
        QTest::newRow("Y spaces around") << "posY"
                                         << " 2.5 " << -1 << false << none;
        QTest::newRow("angle 360.5") << "angle"
                                     << "360.5" << -1 << false << kBadAngle;
        QTest::newRow("angle 360") << "angle"
                                   << "360" << -1 << false << none;
        QTest::newRow("angle -360") << "angle"
                                    << "-360" << -1 << false << none;
        QTest::newRow("angle text") << "angle"
                                    << "ninety" << -1 << false << kBadAngle;
        QTest::newRow("size 0.5") << "fontSize"
                                  << "0.5" << -1 << false << kBadSize;
        QTest::newRow("size 1") << "fontSize"
                                << "1" << -1 << false << none;
        QTest::newRow("size 1000") << "fontSize"
                                   << "1000" << -1 << false << none;
        QTest::newRow("size 1000.5") << "fontSize"
                                     << "1000.5" << -1 << false << kBadSize;
        QTest::newRow("leading -1000") << "fontLeading"
                                       << "-1000" << -1 << false << none;
        QTest::newRow("leading -1000.5") << "fontLeading"
                                         << "-1000.5" << -1 << false << kBadLeading;
        QTest::newRow("gray 1.5") << "colorText"
                                  << "1.5" << int(kCustomGray) << false << kBadGray;
        QTest::newRow("gray 0.75") << "colorText"
                                   << "0.75" << int(kCustomGray) << false << none;
        QTest::newRow("RGB two numbers") << "colorText"
                                         << "0.5,0.5" << int(kCustomRgb) << false << kBadRgb;
        QTest::newRow("RGB spaced") << "colorText"
                                    << " 0.66 , 0.80 ,1.00 " << int(kCustomRgb) << false << none;
        QTest::newRow("CMYK negative") << "colorText"
                                       << "0,0,-0.1,0" << int(kCustomCmyk) << false << kBadCmyk;
        QTest::newRow("range 0") << "pageRange"
                                 << "0" << -1 << true << kBadRange;
        QTest::newRow("range space after a span") << "pageRange"
                                                  << "1-3 ,5" << -1 << true << kBadRange;
        QTest::newRow("range empty") << "pageRange"
                                     << "" << -1 << true << none;
        QTest::newRow("range bad but all pages") << "pageRange"
                                                 << "x" << -1 << false << none;
    }
    void aBadFieldKeepsThePageWithItsMessage() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, colour);
        QFETCH(bool, specified);
        QFETCH(QString, message);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            if (colour >= 0) {
                ChooseRow(Find<QComboBox>(d, "colorList"), colour);
            }
            if (field == QLatin1String("pageRange")) {
                // The range is typed while usable, then "All pages" may be chosen again.
                Click(Find<QRadioButton>(d, "specifiedPages"));
                TypeText(Find<QLineEdit>(d, "pageRange"), typed);
                Click(Find<QRadioButton>(d, specified ? "specifiedPages" : "allPages"));
            } else {
                TypeText(d->findChild<QLineEdit*>(field), typed);
            }
            int shown = -1;
            QString title;
            QCOMPARE(MessageDuring(
                         kHostAlert, [&] { shown = ClickTab(d, 1); }, &title),
                     message);
            QCOMPARE(shown, message.isEmpty() ? 1 : 0);
            // A box over the dialog is titled as the dialog's own boxes are.
            QCOMPARE(title, message.isEmpty() ? QString() : QStringLiteral("Tesser Pro"));
        }));
    }

    void onlyTheFirstBadFieldIsReportedAtATime() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            TypeText(Find<QLineEdit>(d, "posX"), QStringLiteral("abc"));
            TypeText(Find<QLineEdit>(d, "angle"), QStringLiteral("400"));
            QCOMPARE(MessageDuring(kHostAlert, [&] { ClickTab(d, 3); }), kBadPosX);
            QCOMPARE(ShownTab(d), 0);
            TypeText(Find<QLineEdit>(d, "posX"), QStringLiteral("2"));
            QCOMPARE(MessageDuring(kHostAlert, [&] { ClickTab(d, 3); }), kBadAngle);
            QCOMPARE(ShownTab(d), 0);
            TypeText(Find<QLineEdit>(d, "angle"), QStringLiteral("-30"));
            QCOMPARE(MessageDuring(kHostAlert, [&] { ClickTab(d, 3); }), QString());
            QCOMPARE(ShownTab(d), 3);
        }));
    }

    // ---- Units ----

    void unitsShowConvertedPositionsAndStoreTheSamePoints() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* units = Find<QComboBox>(d, "unitsList");
            auto* x = Find<QLineEdit>(d, "posX");
            auto* y = Find<QLineEdit>(d, "posY");
            QCOMPARE(units->currentText(), QStringLiteral("Inches"));
            TypeText(x, QStringLiteral("1"));
            TypeText(y, QStringLiteral("0.5"));
            ChooseRow(units, 0);
            QCOMPARE(units->currentText(), QStringLiteral("Points"));
            QCOMPARE(x->text(), QStringLiteral("72"));
            QCOMPARE(y->text(), QStringLiteral("36"));
            ChooseRow(units, 1);
            ChooseRow(units, 2);
            QCOMPARE(units->currentText(), QStringLiteral("cm"));
            QCOMPARE(x->text(), QStringLiteral("2.54"));
            QCOMPARE(y->text(), QStringLiteral("1.27"));
            ChooseRow(units, 0);
            QCOMPARE(x->text(), QStringLiteral("72"));
            QCOMPARE(y->text(), QStringLiteral("36"));
            // A units change is an edit.
            TypeText(Find<QComboBox>(d, "nameBox"), QStringLiteral("Units"));
            QCOMPARE(SaveAs(d, QStringLiteral("Units")), QString());
            Click(Find<QPushButton>(d, "closeButton"));
        }));
        const QByteArray profile = ReadAll(ProfilePath());
        QVERIFY(profile.contains("\r\nPosX=72.000000\r\n"));
        QVERIFY(profile.contains("\r\nPosY=36.000000\r\n"));
        QVERIFY(profile.contains("\r\nUnits=Points\r\n"));
    }

    void unitsChangeShowsWhatABadPositionReadAs() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* x = Find<QLineEdit>(d, "posX");
            TypeText(x, QStringLiteral("abc"));
            QCOMPARE(
                MessageDuring(kHostAlert, [&] { ChooseRow(Find<QComboBox>(d, "unitsList"), 0); }),
                QString());
            QCOMPARE(x->text(), QStringLiteral("0"));
            QCOMPARE(MessageDuring(kHostAlert, [&] { ClickTab(d, 1); }), QString());
            QCOMPARE(ShownTab(d), 1);
        }));
    }

    // ---- Name box, Save and Delete ----

    void saveNeedsAnEditAndANameThatCanBeStored() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* names = Find<QComboBox>(d, "nameBox");
            auto* save = Find<QPushButton>(d, "saveButton");
            auto* remove = Find<QPushButton>(d, "deleteButton");
            QCOMPARE(names->currentText(), QStringLiteral("[Untitled]"));
            QVERIFY(!save->isEnabled());
            QVERIFY(!remove->isEnabled());
            TypeText(Find<QLineEdit>(d, "fontSize"), QStringLiteral("20"));
            QVERIFY(!save->isEnabled()); // "[Untitled]" is no name to save under
            TypeText(names, QStringLiteral("Logo"));
            QVERIFY(save->isEnabled());
            TypeText(names, QStringLiteral("Lo[go"));
            QVERIFY(!save->isEnabled());
            names->lineEdit()->selectAll();
            Paste(names->lineEdit(), QStringLiteral("Lo\tgo"));
            QCOMPARE(names->currentText(), QStringLiteral("Lo\tgo"));
            QVERIFY(!save->isEnabled());
            TypeText(names, QStringLiteral("Lo\u20ACgo")); // the byte 0x80 in Windows-1252
            QVERIFY(!save->isEnabled());
            TypeText(names, QStringLiteral("Logo"));
            QVERIFY(save->isEnabled());
            QCOMPARE(MessageDuring(kHostAlert, [&] { Click(save); }), QString());
            QVERIFY(!save->isEnabled());
            QVERIFY(remove->isEnabled());
        }));
    }

    void savedNamesTakeTheirPlaceInListOrderAndDeleteRemovesThem() {
        WriteProfile("[Tesserion_C]\r\nText=charlie\r\nFontSize=30\r\n"
                     "[Tesserion_a]\r\nText=alpha\r\nColorName=Red\r\nColorText=1.00,0.00,0.00\r\n"
                     "[Tesserions]\r\n1=a\r\n2=C\r\nCount=2\r\n");
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* names = Find<QComboBox>(d, "nameBox");
            auto items = [names] {
                QStringList list;
                for (int i = 0; i < names->count(); ++i) {
                    list << names->itemText(i);
                }
                return list;
            };
            QCOMPARE(items(), (QStringList{"[Untitled]", "C", "a"}));

            ChooseRow(names, 2);
            QCOMPARE(Find<QPlainTextEdit>(d, "textBox")->toPlainText(), QStringLiteral("alpha"));
            QCOMPARE(Find<QComboBox>(d, "colorList")->currentText(), QStringLiteral("Red"));
            QVERIFY(!Find<QPushButton>(d, "saveButton")->isEnabled());

            TypeText(Find<QPlainTextEdit>(d, "textBox"), QStringLiteral("bravo"));
            QCOMPARE(SaveAs(d, QStringLiteral("B")), QString());
            QCOMPARE(items(), (QStringList{"[Untitled]", "B", "C", "a"}));
            QCOMPARE(names->currentText(), QStringLiteral("B"));

            TypeText(Find<QLineEdit>(d, "fontSize"), QStringLiteral("15"));
            QCOMPARE(SaveAs(d, QStringLiteral("B")), QString());
            QCOMPARE(items(), (QStringList{"[Untitled]", "B", "C", "a"}));

            Click(Find<QPushButton>(d, "deleteButton"));
            QCOMPARE(items(), (QStringList{"[Untitled]", "C", "a"}));
            QCOMPARE(names->currentText(), QStringLiteral("[Untitled]"));
            QCOMPARE(Find<QPlainTextEdit>(d, "textBox")->toPlainText(), QString());
            QCOMPARE(Find<QLineEdit>(d, "fontSize")->text(), QStringLiteral("12"));
            QCOMPARE(Find<QComboBox>(d, "colorList")->currentText(), QStringLiteral("Black"));
            QCOMPARE(Find<QComboBox>(d, "unitsList")->currentText(), QStringLiteral("Inches"));
            QVERIFY(!Find<QPushButton>(d, "deleteButton")->isEnabled());

            ChooseRow(names, 1);
            QCOMPARE(Find<QLineEdit>(d, "fontSize")->text(), QStringLiteral("30"));
            Click(Find<QPushButton>(d, "deleteButton"));
            QCOMPARE(items(), (QStringList{"[Untitled]", "a"}));
            Click(Find<QPushButton>(d, "closeButton"));
        }));
        const ToolResult list =
            RunTool(kTesserCli, {QStringLiteral("--list"), QStringLiteral("-p"), ProfilePath()});
        QCOMPARE(list.exitCode, 0);
        QCOMPARE(list.output, QStringLiteral("a: valid\n"));
    }

    void aNameTypedOverUntitledDeletesItsOwnEntry() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* names = Find<QComboBox>(d, "nameBox");
            TypeText(Find<QPlainTextEdit>(d, "textBox"), QStringLiteral("x"));
            QCOMPARE(SaveAs(d, QStringLiteral("Mine")), QString());
            QCOMPARE(names->count(), 2);
            Click(Find<QPushButton>(d, "deleteButton"));
            QCOMPARE(names->count(), 1);
            QCOMPARE(names->itemText(0), QStringLiteral("[Untitled]"));
        }));
    }

    // ---- Colours ----

    void colourPresetsSetTheTextAndWhatCanBeEdited() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* list = Find<QComboBox>(d, "colorList");
            auto* text = Find<QLineEdit>(d, "colorText");
            auto* chooser = Find<QPushButton>(d, "colorChooserButton");
            QVERIFY(!text->isEnabled());
            ChooseRow(list, kCustomCmyk);
            QCOMPARE(text->text(), QStringLiteral("0.00,0.00,0.00,1.00"));
            QVERIFY(text->isEnabled());
            QVERIFY(!chooser->isEnabled());
            ChooseRow(list, kCustomRgb);
            QCOMPARE(text->text(), QStringLiteral("0.00,0.00,0.00"));
            QVERIFY(text->isEnabled());
            QVERIFY(chooser->isEnabled());
            TypeText(text, QStringLiteral("0.5,0.5,0.5"));
            ChooseRow(list, kRed);
            QCOMPARE(text->text(), QStringLiteral("1.00,0.00,0.00"));
            QVERIFY(!text->isEnabled());
            QVERIFY(!chooser->isEnabled());
            ChooseRow(list, kCustomRgb);
            QCOMPARE(text->text(), QStringLiteral("0.00,0.00,0.00"));
        }));
    }

    void colourChooserStartsFromTheTextAndKeepsCustomColours() {
        Desktop desktop;
        QColor started;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ChooseRow(Find<QComboBox>(d, "colorList"), kCustomRgb);
            TypeText(Find<QLineEdit>(d, "colorText"), QStringLiteral("1,0.5,0"));
            WhenModalShown("QColorDialog", {}, [&started](QWidget* w) {
                auto* chooser = static_cast<QColorDialog*>(w);
                started = chooser->currentColor();
                chooser->setCurrentColor(QColor(0, 51, 255));
                for (auto* b : chooser->findChildren<QPushButton*>()) {
                    if (b->text().contains(QStringLiteral("Custom"))) {
                        b->click();
                    }
                }
                chooser->accept();
            });
            Click(Find<QPushButton>(d, "colorChooserButton"));
            QCOMPARE(Find<QLineEdit>(d, "colorText")->text(), QStringLiteral("0.00,0.20,1.00"));
            Click(Find<QPushButton>(d, "closeButton"));
        }));
        QCOMPARE(started, QColor(255, 128, 0));
        // Blue in the low byte's third place: 0xFF3300.
        QVERIFY2(ReadAll(ProfilePath()).startsWith("[Colors]\r\n0=16724736\r\n"),
                 ReadAll(ProfilePath()).constData());

        // Cancelling the chooser still keeps the custom colours: the profile is written (with
        // the black slots of a dialog opened without a profile).
        QFile::remove(ProfilePath());
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            ChooseRow(Find<QComboBox>(d, "colorList"), kCustomRgb);
            WhenModalShown("QColorDialog", {},
                           [](QWidget* w) { static_cast<QColorDialog*>(w)->reject(); });
            Click(Find<QPushButton>(d, "colorChooserButton"));
            QCOMPARE(Find<QLineEdit>(d, "colorText")->text(), QStringLiteral("0.00,0.00,0.00"));
            Click(Find<QPushButton>(d, "closeButton"));
        }));
        QVERIFY(ReadAll(ProfilePath()).startsWith("[Colors]\r\n0=0\r\n1=0\r\n"));
    }

    // ---- Text encoding ----

    void aCharacterWithoutWindows1252FormIsRefused() {
        const QString refused = QStringLiteral(
            "The character U+4E2D \u201C\u4E2D\u201D has no Windows-1252 form and cannot be "
            "stored in the field \u201CText\u201D.");
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            auto* text = Find<QPlainTextEdit>(d, "textBox");
            auto* units = Find<QComboBox>(d, "unitsList");
            TypeText(text, QStringLiteral("Hello"));
            QCOMPARE(SaveAs(d, QStringLiteral("Logo")), QString());

            TypeText(text, QStringLiteral("Hi \u4E2D"));
            QCOMPARE(MessageDuring(kPageMessage, [&] { ClickTab(d, 1); }), refused);
            QCOMPARE(ShownTab(d), 0);
            QCOMPARE(
                MessageDuring(kPageMessage, [&] { Click(Find<QPushButton>(d, "saveButton")); }),
                refused);
            // A units change is refused too, and what was typed stays.
            QCOMPARE(MessageDuring(kPageMessage, [&] { ChooseRow(units, 0); }), refused);
            QCOMPARE(units->currentText(), QStringLiteral("Inches"));
            QCOMPARE(ShownText(d), QStringLiteral("Hi \u4E2D"));

            // Nothing was stored under the name.
            auto* names = Find<QComboBox>(d, "nameBox");
            ChooseRow(names, 0);
            ChooseRow(names, 1);
            QCOMPARE(text->toPlainText(), QStringLiteral("Hello"));
        }));
    }

    // ---- Keyboard and accessibility ----

    void keyboardUse() {
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            QApplication::setActiveWindow(d);
            auto* text = Find<QPlainTextEdit>(d, "textBox");
            TypeText(text, QStringLiteral("a"));
            QTest::keyClick(text, Qt::Key_Return);
            QTest::keyClick(text, Qt::Key_B);
            QCOMPARE(text->toPlainText(), QStringLiteral("a\nb"));
            QVERIFY(d->isVisible());

            auto* x = Find<QLineEdit>(d, "posX");
            x->setFocus();
            QTest::keyClick(x, Qt::Key_Return);
            QTest::keyClick(Find<QLineEdit>(d, "pageRange"), Qt::Key_Enter);
            QVERIFY(d->isVisible());
            QCOMPARE(ShownTab(d), 0);

            QTest::keyClick(x, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Find<QLineEdit>(d, "posY"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Find<QLineEdit>(d, "angle"));

            QTest::keyClick(d, Qt::Key_Z, Qt::AltModifier);
            QTRY_COMPARE(QApplication::focusWidget(), Find<QLineEdit>(d, "fontSize"));
            QTest::keyClick(d, Qt::Key_G, Qt::AltModifier);
            QTRY_VERIFY(Find<QRadioButton>(d, "oddPagesOnly")->hasFocus());
        }));
    }

    void everyControlHasItsIdAndName_data() {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        const struct {
            const char* object;
            int id;
            const char* name;
        } controls[] = {
            {"textBox", 1004, "Text"},
            {"posX", 1017, "X"},
            {"posY", 1018, "Y"},
            {"angle", 1008, "Angle"},
            {"justifyLeft", 1033, "Left"},
            {"justifyCentre", 1034, "Centre"},
            {"justifyRight", 1035, "Right"},
            {"foreground", 1023, "Foreground"},
            {"background", 1024, "Background"},
            {"fontFace", 1022, "Face"},
            {"fontSize", 1021, "Size"},
            {"fontLeading", 1020, "Leading"},
            {"colorList", 1025, "Colour"},
            {"colorText", 1026, "Colour text"},
            {"colorChooserButton", 1031, "Choose colour"},
            {"allPages", 1013, "All pages"},
            {"specifiedPages", 1014, "Specified pages only"},
            {"pageRange", 1016, "Page range"},
            {"oddAndEvenPages", 1028, "Odd and even pages"},
            {"oddPagesOnly", 1011, "Odd pages only"},
            {"evenPagesOnly", 1012, "Even pages only"},
            {"nameBox", 1003, "Name"},
            {"saveButton", 1000, "Save"},
            {"deleteButton", 1002, "Delete"},
            {"unitsList", 1019, "Units"},
        };
        for (const auto& c : controls) {
            QTest::newRow(c.object)
                << QString::fromLatin1(c.object) << c.id << QString::fromLatin1(c.name);
        }
    }
    void everyControlHasItsIdAndName() {
        QFETCH(QString, objectName);
        QFETCH(int, id);
        QFETCH(QString, name);
        Desktop desktop;
        QVERIFY(desktop.RunDialog([&](QDialog* d) {
            QWidget* control = d->findChild<QWidget*>(objectName);
            QVERIFY(control != nullptr);
            QCOMPARE(control->property("controlId").toInt(), id);
            QCOMPARE(control->accessibleName(), name);
            if (auto* button = qobject_cast<QAbstractButton*>(control);
                button != nullptr && objectName != QLatin1String("colorChooserButton")) {
                QCOMPARE(button->text().remove(QLatin1Char('&')), name);
            }
        }));
    }
};

QTEST_MAIN(DefinePageTest)
#include "DefinePageTest.moc"
