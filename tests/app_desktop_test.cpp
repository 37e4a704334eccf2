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

private slots:
    void initTestCase();
    void launcherEntryNamesTheProgramIconAndTypes();
    void iconAndTypesAreWellFormed();
    void mimeDatabaseRecognisesPlotterAndJobFiles();

private:
    QString Installed(const QString& relative) const { return m_prefix.filePath(relative); }
    QMap<QString, QString> m_entry;
    QStringList m_declaredTypes;
    QTemporaryDir m_prefix;
};

void DesktopTest::initTestCase() {
    QVERIFY(m_prefix.isValid());
    QProcess install;
    install.start(QStringLiteral(VELKAR_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(VELKAR_BINARY_DIR), QStringLiteral("--prefix"),
                   m_prefix.path(), QStringLiteral("--component"), QStringLiteral("desktop")});
    QVERIFY(install.waitForFinished(60000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

    QFile desktop(Installed(QStringLiteral("share/applications/velkar.desktop")));
    QVERIFY(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(desktop.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0) m_entry.insert(line.left(eq), line.mid(eq + 1));
    }
}

void DesktopTest::launcherEntryNamesTheProgramIconAndTypes() {
    QCOMPARE(m_entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(m_entry.value(QStringLiteral("Name")), QStringLiteral("Velkar"));
    QCOMPARE(m_entry.value(QStringLiteral("Exec")), QStringLiteral("velkar %f"));
    QCOMPARE(m_entry.value(QStringLiteral("Icon")), QStringLiteral("velkar"));
    QCOMPARE(m_entry.value(QStringLiteral("Terminal")), QStringLiteral("false"));
    QCOMPARE(m_entry.value(QStringLiteral("MimeType")),
             QStringLiteral("application/x-velkar-plt;application/x-velkar-pt1;image/svg+xml;image/svg+xml-compressed;"
                            "application/postscript;image/x-eps;application/pdf;application/illustrator;"));
    QVERIFY(m_entry.value(QStringLiteral("Categories")).endsWith(QLatin1Char(';')));
}

void DesktopTest::iconAndTypesAreWellFormed() {
    QFile icon(Installed(QStringLiteral("share/icons/hicolor/scalable/apps/velkar.svg")));
    QVERIFY(icon.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&icon);
    QVERIFY(svg.readNextStartElement());
    QCOMPARE(svg.name().toString(), QStringLiteral("svg"));
    while (!svg.atEnd()) svg.readNext();
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));

    QFile types(Installed(QStringLiteral("share/mime/packages/velkar.xml")));
    QVERIFY(types.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&types);
    QStringList globs;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("mime-type"))
            m_declaredTypes << xml.attributes().value(QLatin1String("type")).toString();
        if (xml.name() == QLatin1String("glob")) globs << xml.attributes().value(QLatin1String("pattern")).toString();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(m_declaredTypes,
             (QStringList{QStringLiteral("application/x-velkar-plt"), QStringLiteral("application/x-velkar-pt1")}));
    QCOMPARE(globs, (QStringList{QStringLiteral("*.plt"), QStringLiteral("*.PLT"), QStringLiteral("*.pt1"),
                                 QStringLiteral("*.PT1")}));
}

void DesktopTest::mimeDatabaseRecognisesPlotterAndJobFiles() {
    const QString updater = QStandardPaths::findExecutable(QStringLiteral("update-mime-database"));
    if (updater.isEmpty()) QSKIP("update-mime-database is not installed");
    // Only the installed tree is looked at, so the types must come from our package.
    qputenv("XDG_DATA_DIRS", Installed(QStringLiteral("share")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", Installed(QStringLiteral("home")).toLocal8Bit());
    QVERIFY(QProcess::execute(updater, {Installed(QStringLiteral("share/mime"))}) == 0);
    QMimeDatabase db;
    QCOMPARE(db.mimeTypeForFile(QStringLiteral("/jobs/logo.plt"), QMimeDatabase::MatchExtension).name(),
             QStringLiteral("application/x-velkar-plt"));
    QCOMPARE(db.mimeTypeForFile(QStringLiteral("/jobs/LOGO.PLT"), QMimeDatabase::MatchExtension).name(),
             QStringLiteral("application/x-velkar-plt"));
    QCOMPARE(db.mimeTypeForFile(QStringLiteral("/jobs/logo.PT1"), QMimeDatabase::MatchExtension).name(),
             QStringLiteral("application/x-velkar-pt1"));

    // A job file renamed without its extension is still known by its first record.
    const QByteArray header("\x8c\xf9\x40\x00\xc8\x00\x00\x00\x03\x00\x00\x00\x04\x00\x00\x00\x00\x00\x00\x00", 20);
    QCOMPARE(db.mimeTypeForData(header).name(), QStringLiteral("application/x-velkar-pt1"));
    QVERIFY(db.mimeTypeForData(QByteArray("IN;SP1;PU0,0;")).name() != QStringLiteral("application/x-velkar-pt1"));
}

QTEST_GUILESS_MAIN(DesktopTest)
#include "app_desktop_test.moc"
