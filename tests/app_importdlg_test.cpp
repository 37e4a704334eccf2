#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/dialogs/importdlg.h"
#include "app/dialogs/recentdirectory.h"
#include "qtestsupport.h"

using velkar::CImportDlg;
using velkar::CRecentDirectory;

namespace {

void Touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

}  // namespace

class ImportDlgTest : public QObject {
    Q_OBJECT

private slots:
    void init() { CRecentDirectory::Reset(); }
    void showsTheFlavoursTheFileNameAndTheButtons();
    void flavourIsTheButtonClickedLast();
    void fileNameIsExchangedOnShowAndReadBackOnOkOnly();
    void orderPathsIsOffAndOnlyForStandardPlt();
    void aDrawingSelectsItsOwnFlavour();
    void scanOffersPlotterFilesStartingWhereTheOperatorWorkedLast();
    void cancellingScanEmptiesTheFileName();
    void tabRunsFromTheButtonsThroughTheFlavoursToTheFileName();
};

void ImportDlgTest::showsTheFlavoursTheFileNameAndTheButtons() {
    CImportDlg dlg;
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Import..."));
    auto* group = dlg.findChild<QGroupBox*>();
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("PLT Form"));
    const QStringList labels = {QStringLiteral("ZORVEX PLT"), QStringLiteral("Coredraw PLT"),
                                QStringLiteral("AutoCad PLT"), QStringLiteral("CasMate PLT"),
                                QStringLiteral("Standard PLT"), QStringLiteral("SVG drawing"),
                                QStringLiteral("EPS/PDF drawing")};
    for (int i = 0; i < labels.size(); ++i) {
        auto* b = group->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(i + 1));
        QVERIFY(b);
        QCOMPARE(b->text(), labels[i]);
        QCOMPARE(b->isChecked(), i == 0);
        if (i < 4) QCOMPARE(b->toolTip(), QString());
        if (i > 0) QVERIFY(b->y() > group->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(i))->y());
    }
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("scan"))->text(), QStringLiteral("Scan>>>"));
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("ok"))->text(), QStringLiteral("OK"));
    QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("ok"))->isDefault());
    QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("cancel"))->text(), QStringLiteral("Cancel"));
    bool labelled = false;
    for (auto* l : dlg.findChildren<QLabel*>()) labelled = labelled || l->text() == QStringLiteral("FileName:");
    QVERIFY(labelled);
    QCOMPARE(dlg.m_nFlavour, 1);
    QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("fileName"))->text(), QString());
}

void ImportDlgTest::flavourIsTheButtonClickedLast() {
    CImportDlg dlg;
    dlg.m_nFlavour = 4;
    dlg.show();
    QCOMPARE(dlg.m_nFlavour, 1);  // every showing starts at the first flavour
    for (int i = 5; i >= 1; --i) {
        QTest::mouseClick(dlg.findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(i)), Qt::LeftButton);
        QCOMPARE(dlg.m_nFlavour, i);
    }
    QTest::mouseClick(dlg.findChild<QRadioButton*>(QStringLiteral("flavour3")), Qt::LeftButton);
    // Checking a button by program is not a click: the flavour stays the last clicked.
    dlg.findChild<QRadioButton*>(QStringLiteral("flavour2"))->setChecked(true);
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.m_nFlavour, 3);

    dlg.show();
    QCOMPARE(dlg.m_nFlavour, 1);
    QVERIFY(dlg.findChild<QRadioButton*>(QStringLiteral("flavour1"))->isChecked());
}

void ImportDlgTest::fileNameIsExchangedOnShowAndReadBackOnOkOnly() {
    CImportDlg dlg;
    dlg.m_strFileName = QStringLiteral("/jobs/logo.plt");
    dlg.show();
    auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileName"));
    QCOMPARE(edit->text(), QStringLiteral("/jobs/logo.plt"));
    edit->setText(QStringLiteral("/jobs/other.plt"));
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(dlg.m_strFileName, QStringLiteral("/jobs/logo.plt"));

    dlg.show();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("/jobs/typed.PLT"));
    QTest::keyClick(edit, Qt::Key_Return);  // OK is the default button
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.m_strFileName, QStringLiteral("/jobs/typed.PLT"));
}

void ImportDlgTest::orderPathsIsOffAndOnlyForStandardPlt() {
    CImportDlg dlg;
    dlg.show();
    auto* box = dlg.findChild<QCheckBox*>(QStringLiteral("orderPaths"));
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Order paths"));
    QVERIFY(!box->isChecked());
    QVERIFY(!box->isEnabled());
    QTest::mouseClick(dlg.findChild<QRadioButton*>(QStringLiteral("flavour5")), Qt::LeftButton);
    QVERIFY(box->isEnabled());
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(dlg.m_bOrderPaths);
    QTest::mouseClick(dlg.findChild<QRadioButton*>(QStringLiteral("flavour4")), Qt::LeftButton);
    QVERIFY(!box->isEnabled());
    QTest::mouseClick(dlg.findChild<QRadioButton*>(QStringLiteral("flavour5")), Qt::LeftButton);
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(!dlg.m_bOrderPaths);
    QVERIFY(!CImportDlg().m_bOrderPaths);
}

void ImportDlgTest::aDrawingSelectsItsOwnFlavour() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString svg = dir.filePath(QStringLiteral("logo.svg"));
    const QString pdf = dir.filePath(QStringLiteral("flyer.PDF"));
    Touch(svg);
    Touch(pdf);
    const struct {
        QString file;
        int flavour;
    } cases[] = {{svg, 6}, {pdf, 7}, {dir.filePath(QStringLiteral("logo.plt")), 1}};
    for (const auto& c : cases) {
        CImportDlg dlg;
        dlg.m_strFileName = c.file;
        dlg.show();
        QCOMPARE(dlg.m_nFlavour, c.flavour);
        QVERIFY(dlg.findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(c.flavour))->isChecked());
        QCOMPARE(dlg.findChild<QCheckBox*>(QStringLiteral("orderPaths"))->isEnabled(), c.flavour != 1);
    }
    // A drawing picked with Scan>>> clicks its flavour.
    CImportDlg dlg;
    dlg.show();
    velkar::test::WhenShown<QFileDialog>([&](QFileDialog* fd) {
        fd->selectFile(svg);
        static_cast<QDialog*>(fd)->accept();
    });
    dlg.OnScan();
    QCOMPARE(dlg.m_nFlavour, 6);
}

void ImportDlgTest::scanOffersPlotterFilesStartingWhereTheOperatorWorkedLast() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("jobs")));
    const QString upper = dir.filePath(QStringLiteral("jobs/LOGO.PLT"));
    const QString lower = dir.filePath(QStringLiteral("jobs/star.plt"));
    Touch(upper);
    Touch(lower);
    Touch(dir.filePath(QStringLiteral("jobs/notes.txt")));

    CImportDlg dlg;
    dlg.show();
    QString startDir;
    QStringList filters;
    velkar::test::WhenShown<QFileDialog>([&](QFileDialog* fd) {
        startDir = fd->directory().absolutePath();
        filters = fd->nameFilters();
        fd->selectFile(lower);
        static_cast<QDialog*>(fd)->accept();
    });
    dlg.OnScan();
    QCOMPARE(startDir, QDir::homePath());
    QCOMPARE(filters.value(0), QStringLiteral("Plotter files (*.plt *.PLT *.hpgl *.hpg *.hp *.dmpl)"));
    auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileName"));
    QCOMPARE(edit->text(), lower);

    // The next dialog starts in that directory, and the upper-case name matches too.
    velkar::test::WhenShown<QFileDialog>([&](QFileDialog* fd) {
        startDir = fd->directory().absolutePath();
        fd->selectFile(upper);
        static_cast<QDialog*>(fd)->accept();
    });
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("scan")), Qt::LeftButton);
    QCOMPARE(startDir, QDir(dir.filePath(QStringLiteral("jobs"))).absolutePath());
    QCOMPARE(edit->text(), upper);
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    QCOMPARE(dlg.m_strFileName, upper);
}

void ImportDlgTest::cancellingScanEmptiesTheFileName() {
    CImportDlg dlg;
    dlg.m_strFileName = QStringLiteral("/jobs/logo.plt");
    dlg.show();
    velkar::test::WhenShown<QFileDialog>([](QFileDialog* fd) { fd->reject(); });
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("scan")), Qt::LeftButton);
    QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("fileName"))->text(), QString());
    QCOMPARE(CRecentDirectory::Get(), QDir::homePath());
}

void ImportDlgTest::tabRunsFromTheButtonsThroughTheFlavoursToTheFileName() {
    CImportDlg dlg;
    dlg.show();
    auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("ok"));
    QVERIFY(ok);
    QStringList order;
    QWidget* w = ok;
    do {
        if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
        w = w->nextInFocusChain();
    } while (w != ok && order.size() < 20);
    const QStringList expected = {QStringLiteral("ok"),       QStringLiteral("cancel"),     QStringLiteral("flavour1"),
                                  QStringLiteral("flavour2"), QStringLiteral("flavour3"),   QStringLiteral("flavour4"),
                                  QStringLiteral("flavour5"), QStringLiteral("flavour6"),   QStringLiteral("flavour7"),
                                  QStringLiteral("orderPaths"), QStringLiteral("travelOrder"), QStringLiteral("scan"),
                                  QStringLiteral("fileName")};
    QCOMPARE(order, expected);
}

QTEST_MAIN(ImportDlgTest)
#include "app_importdlg_test.moc"
