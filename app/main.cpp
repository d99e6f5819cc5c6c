// quorel-host: the desktop PDF host. Opens the PDF files named on the command line, loads the
// plug-in modules of its plug-in folders and shows the main window.
//
// For scripts and screenshots:
//   --execute=ITEM     chooses the plug-in menu item named ITEM (such as KORV:QuorelTesser) once
//                      the pages are shown
//   --screenshot=FILE  once the pages (and the window ITEM opened, if any) are on the screen,
//                      saves a PNG of the whole screen to FILE and quits
#include "app/MainWindow.h"
#include "app/MessageBoxSink.h"
#include "app/PageView.h"
#include "app/PluginLoader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

// Polls until the front window is shown and exposed, then lets it paint and grabs the screen.
void ScreenshotWhenShown(const QString& file, QWidget* mainWindow) {
    auto* timer = new QTimer(qApp);
    auto settled = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, settled, file, mainWindow] {
        QWidget* front = QApplication::activeModalWidget();
        if (front == nullptr) {
            front = mainWindow;
        }
        if (front == nullptr || front->windowHandle() == nullptr ||
            !front->windowHandle()->isExposed()) {
            *settled = 0;
            return;
        }
        if (++*settled < 5) { // a few turns for the window manager and the paint
            return;
        }
        timer->stop();
        QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        bool saved = shot.save(file, "PNG");
        if (!saved) {
            std::fprintf(stderr, "quorel-host: cannot write %s\n", qPrintable(file));
        }
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        QCoreApplication::exit(saved ? 0 : 1);
    });
    timer->start(100);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorel-host"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorel Host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A PDF host with plug-ins."));
    parser.addHelpOption();
    QCommandLineOption execute(QStringLiteral("execute"),
                               QStringLiteral("Choose the plug-in menu item <item> once shown."),
                               QStringLiteral("item"));
    QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a PNG of the screen to <file> once shown, then quit."),
        QStringLiteral("file"));
    parser.addOption(execute);
    parser.addOption(screenshot);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("PDF files to open."),
                                 QStringLiteral("[files...]"));
    parser.process(app);

    tesser::host::Host host;
    tesser::app::MainWindow window(host);
    tesser::app::MessageBoxSink sink(&window);
    host.SetMessageSink(&sink);
    tesser::app::LoadPlugIns(host, tesser::app::DefaultPlugInFolders(), &window);
    window.RebuildPlugInMenus();

    window.show();
    for (const QString& file : parser.positionalArguments()) {
        window.OpenFile(file);
    }

    const QString item = parser.value(execute);
    const QString shotFile = parser.value(screenshot);
    QTimer::singleShot(0, &window, [&] {
        if (!shotFile.isEmpty()) {
            ScreenshotWhenShown(shotFile, &window);
        }
        if (!item.isEmpty()) {
            host.ExecuteMenuItem(item.toStdString());
            window.FlushChanges();
        }
    });
    int status = app.exec();
    host.SetMessageSink(nullptr);
    return status;
}
