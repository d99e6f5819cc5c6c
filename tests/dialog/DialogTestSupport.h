// Driving the Tesser Pro dialog as a person would: the real module loaded by the real desktop
// host, controls found by object name, keys typed and buttons clicked, modal boxes answered when
// they appear.
#pragma once

#include "app/MainWindow.h"
#include "app/MessageBoxSink.h"
#include "host/Host.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <vector>

class QAction;
class QComboBox;
class QDialog;
class QWidget;

namespace dialogtest {

extern const QString kPlugInDir;
extern const QString kSample;
extern const QString kTesserCli;

// Drops the offscreen platform's warnings that it cannot propagate size hints or raise a
// window, which every window shown would otherwise print; other messages go on as before.
void QuietOffscreenWarnings();

// Runs work inside the next modal loop that shows a widget of the given class (and object name,
// when given), polled from a timer as a person would wait for the box. The timer is returned so
// that a wait that is no longer wanted can be stopped.
QPointer<QTimer> WhenModalShown(const char* className, const QString& objectName,
                                std::function<void(QWidget*)> work);

// Points XDG_CONFIG_HOME and XDG_STATE_HOME into home (its "config" made), so that a test's
// profile and journal never touch the user's. False when home is not usable.
bool UseTemporaryHome(const QTemporaryDir& home);

// Types names into a non-native file dialog's file-name box, as a person would, and accepts it.
// (QFileDialog::selectFile leaves the box alone while it has the focus, which the offscreen
// platform gives it at a moment of its own choosing.)
void ChooseInFileDialog(QWidget* fileDialog, const QString& names);

// Runs action and answers the first message box of that object name it shows with its first
// button; returns the box's text, or a null QString when no box was shown.
// title, when given, receives the box's title.
QString MessageDuring(const QString& objectName, const std::function<void()>& action,
                      QString* title = nullptr);

// Object names of the message boxes: the host's alert and the pages' own boxes.
inline const QString kHostAlert = QStringLiteral("hostAlert");
inline const QString kPageMessage = QStringLiteral("pageMessage");

// A desktop host with its main window and the plug-ins of kPlugInDir, as quorel-host starts.
struct Desktop {
    tesser::host::Host host;
    tesser::app::MainWindow window{host};
    tesser::app::MessageBoxSink sink{&window};

    Desktop();
    ~Desktop();
    // Opens "Tesser Pro..." from the Extensions menu and runs work in the dialog; the dialog is
    // closed afterwards if work left it open. False when the dialog did not appear.
    bool RunDialog(const std::function<void(QDialog*)>& work);
};

template <typename T> T* Find(QWidget* root, const char* objectName) {
    return root->findChild<T*>(QString::fromLatin1(objectName));
}

// Replaces the text of a line edit, plain-text edit or editable combo box by typing: select all,
// then one key per character (Return for a line break); an empty text deletes.
void TypeText(QWidget* field, const QString& text);
// Chooses a row of a drop-down list with the arrow keys.
void ChooseRow(QComboBox* list, int row);
// Clicks the tab's title; answers the tab shown afterwards.
int ClickTab(QDialog* dialog, int tab);
int ShownTab(QDialog* dialog);
// The image the page's tab shows: -1 none, 0 the cross, 1 the tick.
int TabImage(QDialog* dialog, int tab);
void Click(QWidget* button);

QByteArray ReadAll(const QString& path);

struct ToolResult {
    int exitCode = -1;
    QString output;
    QString errors;
};
ToolResult RunTool(const QString& program, const QStringList& arguments);

} // namespace dialogtest
