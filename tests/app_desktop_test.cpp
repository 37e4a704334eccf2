// The launcher entry, the icon and the file types, as `cmake --install` lays
// them out, and as the desktop's MIME database then sees plotter and job files.
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

class DesktopTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_prefix;

    QString Installed(const char* relative) const { return m_prefix.filePath(QString::fromLatin1(relative)); }

private slots:
    void initTestCase() {
        QProcess install;
        install.start(QStringLiteral(VELKAR_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(VELKAR_BINARY_DIR), QStringLiteral("--prefix"),
                       m_prefix.path(), QStringLiteral("--component"), QStringLiteral("desktop")});
        QVERIFY(install.waitForFinished(60000));
        QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    }

    void launcherEntryNamesTheProgramIconAndTypes() {
        QFile desktop(Installed("share/applications/velkar.desktop"));
        QVERIFY(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(desktop.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        for (const char* line : {"Type=Application", "Name=Velkar", "Exec=velkar %f", "Icon=velkar", "Terminal=false",
                                 "MimeType=application/x-velkar-plt;application/x-velkar-pt1;image/svg+xml;"
                                 "image/svg+xml-compressed;application/postscript;image/x-eps;application/pdf;"
                                 "application/illustrator;"})
            QVERIFY2(lines.contains(QLatin1String(line)), line);
    }

    void iconIsWellFormedAndTheMimeDatabaseKnowsPlotterAndJobFiles() {
        QFile icon(Installed("share/icons/hicolor/scalable/apps/velkar.svg"));
        QVERIFY(icon.open(QIODevice::ReadOnly));
        QXmlStreamReader svg(&icon);
        QVERIFY(svg.readNextStartElement());
        QCOMPARE(svg.name().toString(), QStringLiteral("svg"));
        while (!svg.atEnd()) svg.readNext();
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));

        const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
        if (updater.isEmpty()) QSKIP("update-mime-database is not installed");
        // Only the installed tree is looked at, so the types must come from our package.
        qputenv("XDG_DATA_DIRS", Installed("share").toLocal8Bit());
        qputenv("XDG_DATA_HOME", Installed("home").toLocal8Bit());
        QVERIFY(QProcess::execute(updater, {Installed("share/mime")}) == 0);
        QMimeDatabase db;
        QStringList types;
        for (const char* file : {"/jobs/logo.plt", "/jobs/LOGO.PLT", "/jobs/logo.pt1", "/jobs/logo.PT1"})
            types << db.mimeTypeForFile(QLatin1String(file), QMimeDatabase::MatchExtension).name();
        QCOMPARE(types,
                 QStringList({QStringLiteral("application/x-velkar-plt"), QStringLiteral("application/x-velkar-plt"),
                              QStringLiteral("application/x-velkar-pt1"), QStringLiteral("application/x-velkar-pt1")}));
        // A job file renamed without its extension is still known by its first record.
        const QByteArray header("\x8c\xf9\x40\x00\xc8\x00\x00\x00\x03\x00\x00\x00\x04\x00\x00\x00\x00\x00\x00\x00", 20);
        QCOMPARE(db.mimeTypeForData(header).name(), QStringLiteral("application/x-velkar-pt1"));
        QVERIFY(db.mimeTypeForData(QByteArray("IN;SP1;PU0,0;")).name() != QStringLiteral("application/x-velkar-pt1"));
    }
    // The program as the README starts it: a picture of a job without a monitor, and
    // each way a start is refused, with its message and exit code.
    void desktopProgramStartsOrSaysWhy_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("picture") << "--job " VELKAR_BINARY_DIR "/examples/sample.PT1 --scale 0.5 --sharp 2 --close 5"
                                 << true << 0 << QString();
        QTest::newRow("no display") << "" << false << 1
                                    << "velkar: no display for the desktop program (neither DISPLAY nor WAYLAND_DISPLAY"
                                       " is set); run it under xvfb-run, or see 'velkar --help' for the commands that"
                                       " need none\n";
        QTest::newRow("value missing") << "--scale" << true << 2 << "velkar: --scale needs a value\n";
        QTest::newRow("out of range") << "--sharp 9" << true << 2
                                      << "velkar: --sharp must be a number from 0 to 2, not '9'\n";
        QTest::newRow("unknown") << "--frob" << true << 2 << "velkar: unknown option '--frob'\n";
        QTest::newRow("two files") << "a.plt b.plt" << true << 2 << "velkar: more than one file named: 'b.plt'\n";
    }

    void desktopProgramStartsOrSaysWhy() {
        QFETCH(QString, arguments);
        QFETCH(bool, display);
        QFETCH(int, code);
        QFETCH(QString, message);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QLatin1String(name));
        if (display) env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The program's scratch folder and Qt's runtime folder stay inside the test's own.
        const QString runtime = Installed("runtime"), picture = Installed("window.png");
        QVERIFY(QDir().mkpath(runtime) &&
                QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        QProcess velkar;
        velkar.setProcessEnvironment(env);
        QStringList words = arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (code == 0) words << QStringLiteral("--screenshot") << picture;
        velkar.start(QStringLiteral(VELKAR_BINARY_DIR "/src/velkar"), words);
        QVERIFY(velkar.waitForFinished(60000));
        if (!message.isEmpty())  // a started program may also carry the platform plugin's remarks
            QCOMPARE(QString::fromLocal8Bit(velkar.readAllStandardError()), message);
        QCOMPARE(velkar.exitCode(), code);
        QFile png(picture);
        if (code == 0) QVERIFY(png.open(QIODevice::ReadOnly) && png.read(4) == "\x89PNG");
    }
};

QTEST_GUILESS_MAIN(DesktopTest)
#include "app_desktop_test.moc"
