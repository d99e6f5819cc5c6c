// quorel-host: the desktop PDF host. Opens the PDF files named on the command line, loads the
// plug-in modules of its plug-in folders and shows the main window.
//
// --help and --version answer without a display. For scripts and screenshots:
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
#include <string_view>

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

constexpr const char* kHelpText =
    "Usage: quorel-host [options] [FILE...]\n"
    "Shows PDF files in tabs and loads plug-in modules (such as Tesser Pro's Quorel.api).\n"
    "\n"
    "  --execute=ITEM     choose the plug-in menu item ITEM (such as KORV:QuorelTesser) once\n"
    "                     the pages are shown\n"
    "  --screenshot=FILE  once the window is on the screen, save a PNG of the screen to FILE\n"
    "                     and quit\n"
    "  -h, --help         this text\n"
    "  -v, --version      the version\n"
    "\n"
    "quorel-host(1) has the whole text.\n";

// --help and --version are answered before anything needs a display.
bool AnsweredWithoutDisplay(int argc, char** argv, int& status) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || argument == "-h" || argument == "-?") {
            std::fputs(kHelpText, stdout);
            status = 0;
            return true;
        }
        if (argument == "--version" || argument == "-v") {
            std::printf("quorel-host (Tesser Pro) %s\n", TESSER_VERSION);
            status = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (int status = 0; AnsweredWithoutDisplay(argc, argv, status)) {
        return status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorel-host"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorel Host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A PDF host with plug-ins."));
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
