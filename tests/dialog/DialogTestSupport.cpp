#include "DialogTestSupport.h"

#include "app/PluginLoader.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace dialogtest {

const QString kPlugInDir = QStringLiteral(QUOREL_PLUGIN_DIR);
const QString kSample = QStringLiteral(TESSER_SOURCE_DIR "/samples/sample.pdf");
const QString kTesserCli = QStringLiteral(TESSER_CLI_PATH);

namespace {
QtMessageHandler previousHandler = nullptr;
}

void QuietOffscreenWarnings() {
    previousHandler = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message.contains(QLatin1String("propagateSizeHints")) ||
                message.contains(QLatin1String("does not support raise()"))) {
                return;
            }
            if (previousHandler != nullptr) {
                previousHandler(type, context, message);
            }
        });
}

QPointer<QTimer> WhenModalShown(const char* className, const QString& objectName,
                                std::function<void(QWidget*)> work) {
    auto* timer = new QTimer(qApp);
    const QByteArray wanted(className);
    QObject::connect(timer, &QTimer::timeout, qApp, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->inherits(wanted.constData()) ||
            (!objectName.isEmpty() && modal->objectName() != objectName)) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        work(modal);
    });
    timer->start(10);
    return timer;
}

bool UseTemporaryHome(const QTemporaryDir& home) {
    if (!home.isValid() || !QDir().mkpath(home.filePath(QStringLiteral("config")))) {
        return false;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath(QStringLiteral("state"))));
    return true;
}

void ChooseInFileDialog(QWidget* fileDialog, const QString& names) {
    auto* box = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (box == nullptr) {
        qFatal("the file dialog has no file-name box");
    }
    box->setText(names);
    static_cast<QDialog*>(fileDialog)->accept();
}

QString MessageDuring(const QString& objectName, const std::function<void()>& action,
                      QString* title) {
    QString text;
    QPointer<QTimer> wait = WhenModalShown("QMessageBox", objectName, [&text, title](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        text = box->text();
        if (title != nullptr) {
            *title = box->windowTitle();
        }
        box->buttons().constFirst()->click();
    });
    action();
    if (wait) {
        wait->stop();
        wait->deleteLater();
    }
    return text;
}

Desktop::Desktop() {
    host.SetMessageSink(&sink);
    tesser::app::LoadPlugIns(host, {kPlugInDir}, &window);
    window.RebuildPlugInMenus();
    window.show();
}

Desktop::~Desktop() {
    host.SetMessageSink(nullptr);
}

bool Desktop::RunDialog(const std::function<void(QDialog*)>& work) {
    auto* menu = window.findChild<QMenu*>(QStringLiteral("Extensions"));
    QAction* item = menu != nullptr ? menu->findChild<QAction*>(QStringLiteral("KORV:QuorelTesser"),
                                                                Qt::FindDirectChildrenOnly)
                                    : nullptr;
    if (item == nullptr) {
        return false;
    }
    bool ran = false;
    QPointer<QTimer> wait =
        WhenModalShown("QDialog", QStringLiteral("CTesserDialog"), [&](QWidget* widget) {
            ran = true;
            auto* dialog = static_cast<QDialog*>(widget);
            work(dialog);
            if (dialog->isVisible()) {
                dialog->done(2);
            }
        });
    item->trigger();
    if (wait) {
        wait->stop();
        wait->deleteLater();
    }
    return ran;
}

void TypeText(QWidget* field, const QString& text) {
    if (auto* combo = qobject_cast<QComboBox*>(field); combo != nullptr && combo->isEditable()) {
        field = combo->lineEdit();
    }
    field->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        line->selectAll();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(field)) {
        plain->selectAll();
    }
    if (text.isEmpty()) {
        QTest::keyClick(field, Qt::Key_Delete);
        return;
    }
    for (QChar c : text) {
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(field, Qt::Key_Return);
        } else if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            QTest::keyClick(field, static_cast<char>(c.unicode()));
        } else {
            QTest::sendKeyEvent(QTest::Click, field, static_cast<Qt::Key>(c.unicode()), QString(c),
                                Qt::NoModifier);
        }
    }
}

void ChooseRow(QComboBox* list, int row) {
    list->setFocus();
    while (list->currentIndex() < row) {
        const int before = list->currentIndex();
        QTest::keyClick(list, Qt::Key_Down);
        if (list->currentIndex() == before) {
            return;
        }
    }
    while (list->currentIndex() > row) {
        const int before = list->currentIndex();
        QTest::keyClick(list, Qt::Key_Up);
        if (list->currentIndex() == before) {
            return;
        }
    }
}

int ClickTab(QDialog* dialog, int tab) {
    auto* tabs = dialog->findChild<QTabWidget*>(QStringLiteral("tabs"));
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
    return tabs->currentIndex();
}

int ShownTab(QDialog* dialog) {
    return dialog->findChild<QTabWidget*>(QStringLiteral("tabs"))->currentIndex();
}

int TabImage(QDialog* dialog, int tab) {
    auto* tabs = dialog->findChild<QTabWidget*>(QStringLiteral("tabs"));
    return tabs->widget(tab)->property("tabImage").toInt();
}

void Click(QWidget* button) {
    // Check boxes and radio buttons take clicks on their box and caption only, which need not
    // reach the middle of a stretched button.
    QPoint where = button->rect().center();
    if (qobject_cast<QCheckBox*>(button) != nullptr ||
        qobject_cast<QRadioButton*>(button) != nullptr) {
        where.setX(qMin(6, where.x()));
    }
    QTest::mouseClick(button, Qt::LeftButton, {}, where);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ToolResult RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace dialogtest
