// The real quorel-host on a real X display (Xvfb): it starts on the bundled sample, shows its
// window and the page on the screen.
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class DesktopSmokeTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheSamplePageOnTheScreen() {
        if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()) {
            QSKIP("xvfb-run is not installed (scripts/setup.sh installs it)");
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString shot = dir.filePath(QStringLiteral("screen.png"));
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        program.setProcessEnvironment(env);
        program.start(QStringLiteral("xvfb-run"),
                      {QStringLiteral("-a"), QStringLiteral("-s"),
                       QStringLiteral("-screen 0 1024x768x24"), QStringLiteral(QUOREL_HOST_PATH),
                       QStringLiteral("--screenshot=") + shot,
                       QStringLiteral(TESSER_SOURCE_DIR "/samples/sample.pdf")});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);

        QImage image(shot);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(1024, 768));
        // Not blank: the window's chrome, the white page and dark text on it are there (a dark
        // pixel beside a white one; the screen outside the window is black).
        auto level = [&image](int x, int y) { return qGray(image.pixel(x, y)); };
        qint64 white = 0, dark = 0, other = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 2; x < image.width() - 2; ++x) {
                int l = level(x, y);
                if (l >= 250) {
                    ++white;
                } else if (l < 80) {
                    if (level(x - 2, y) >= 250 || level(x + 2, y) >= 250) {
                        ++dark;
                    }
                } else {
                    ++other;
                }
            }
        }
        const qint64 all = qint64(image.width()) * image.height();
        QVERIFY2(white > all / 5, "no page-sized white area");
        QVERIFY2(dark > 200, "no text");
        QVERIFY2(other > 200, "no window chrome");
    }
};

QTEST_GUILESS_MAIN(DesktopSmokeTest)
#include "DesktopSmokeTest.moc"
