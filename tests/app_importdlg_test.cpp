#include <QCheckBox>
#include <QDir>
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
#include "qtsupport.h"
#include "testsupport.h"

using velkar::CImportDlg;
using velkar::CRecentDirectory;
using velkar::test::Click;
using velkar::test::OnNextModal;

namespace {

QRadioButton* Flavour(QWidget* dlg, int n) {
    return dlg->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(n));
}
QLineEdit* FileName(QWidget* dlg) {
    return dlg->findChild<QLineEdit*>(QStringLiteral("fileName"));
}

// Answers the next file dialog with file, noting the directory it started in;
// an empty file cancels it.
void PickNext(const QString& file, QString* startDir = nullptr, QStringList* filters = nullptr) {
    OnNextModal([=](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        QVERIFY(fd);
        if (startDir) *startDir = fd->directory().absolutePath();
        if (filters) *filters = fd->nameFilters();
        if (file.isEmpty()) return fd->reject();
        fd->selectFile(file);
        static_cast<QDialog*>(fd)->accept();
    });
}

}  // namespace

class ImportDlgTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString Touch(const char* name) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        velkar::test::WriteText(path.toStdString(), "");
        return path;
    }

private slots:
    void init() { CRecentDirectory::Reset(); }

    void showsTheFlavoursTheFileNameAndTheButtonsInTabOrder() {
        CImportDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Import..."));
        auto* group = dlg.findChild<QGroupBox*>();
        QCOMPARE(group->title(), QStringLiteral("PLT Form"));
        const QStringList labels = QStringLiteral(
                                       "ZORVEX PLT,Coredraw PLT,AutoCad PLT,CasMate PLT,Standard PLT,"
                                       "SVG drawing,EPS/PDF drawing")
                                       .split(QLatin1Char(','));
        for (int i = 1; i <= labels.size(); ++i) {
            QCOMPARE(Flavour(group, i)->text(), labels[i - 1]);
            QCOMPARE(Flavour(group, i)->isChecked(), i == 1);
            if (i > 1) QVERIFY(Flavour(group, i)->y() > Flavour(group, i - 1)->y());
        }
        QStringList texts;
        for (const char* button : {"scan", "ok", "cancel"})
            texts << dlg.findChild<QPushButton*>(QLatin1String(button))->text();
        for (auto* l : dlg.findChildren<QLabel*>()) texts << l->text();
        QCOMPARE(texts, QStringList({QStringLiteral("Scan>>>"), QStringLiteral("OK"), QStringLiteral("Cancel"),
                                     QStringLiteral("FileName:")}));
        QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("ok"))->isDefault());
        QCOMPARE(FileName(&dlg)->text(), QString());

        QStringList order;
        QWidget* ok = dlg.findChild<QPushButton*>(QStringLiteral("ok"));
        QWidget* w = ok;
        do {
            if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
            w = w->nextInFocusChain();
        } while (w != ok && order.size() < 20);
        QCOMPARE(order.join(QLatin1Char(' ')),
                 QStringLiteral("ok cancel flavour1 flavour2 flavour3 flavour4 flavour5 "
                                "flavour6 flavour7 orderPaths travelOrder scan fileName"));
    }

    void flavourIsTheButtonClickedLast() {
        CImportDlg dlg;
        dlg.m_nFlavour = 4;
        dlg.show();
        QCOMPARE(dlg.m_nFlavour, 1);  // every showing starts at the first flavour
        QTest::mouseClick(Flavour(&dlg, 5), Qt::LeftButton);
        QCOMPARE(dlg.m_nFlavour, 5);
        QTest::mouseClick(Flavour(&dlg, 3), Qt::LeftButton);
        // Checking a button by program is not a click: the flavour stays the last clicked.
        Flavour(&dlg, 2)->setChecked(true);
        Click(&dlg, "ok");
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_nFlavour, 3);
    }

    void fileNameIsExchangedOnShowAndReadBackOnOkOnly() {
        CImportDlg dlg;
        dlg.m_strFileName = QStringLiteral("/jobs/logo.plt");
        dlg.show();
        QCOMPARE(FileName(&dlg)->text(), QStringLiteral("/jobs/logo.plt"));
        FileName(&dlg)->setText(QStringLiteral("/jobs/other.plt"));
        Click(&dlg, "cancel");
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.m_strFileName, QStringLiteral("/jobs/logo.plt"));

        dlg.show();
        FileName(&dlg)->clear();
        QTest::keyClicks(FileName(&dlg), QStringLiteral("/jobs/typed.PLT"));
        QTest::keyClick(FileName(&dlg), Qt::Key_Return);  // OK is the default button
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strFileName, QStringLiteral("/jobs/typed.PLT"));
    }

    // Only Standard PLT and the drawings can order their paths; a drawing
    // selects its own flavour, named or picked with Scan>>>.
    void orderPathsAndTheDrawingFlavours() {
        CImportDlg dlg;
        dlg.show();
        auto* box = dlg.findChild<QCheckBox*>(QStringLiteral("orderPaths"));
        QCOMPARE(box->text(), QStringLiteral("Order paths"));
        QVERIFY(!box->isChecked() && !box->isEnabled());
        QTest::mouseClick(Flavour(&dlg, 5), Qt::LeftButton);
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(dlg.m_bOrderPaths);
        QTest::mouseClick(Flavour(&dlg, 4), Qt::LeftButton);
        QVERIFY(!box->isEnabled());

        const QString svg = Touch("logo.svg");
        PickNext(svg);
        dlg.OnScan();
        QCOMPARE(dlg.m_nFlavour, 6);
        QVERIFY(box->isEnabled());
        const std::pair<QString, int> cases[] = {{Touch("flyer.PDF"), 7},
                                                 {m_dir.filePath(QStringLiteral("logo.plt")), 1}};
        for (const auto& [file, flavour] : cases) {
            CImportDlg named;
            named.m_strFileName = file;
            named.show();
            QCOMPARE(named.m_nFlavour, flavour);
            QVERIFY(Flavour(&named, flavour)->isChecked());
        }
    }

    // The file dialog starts where the operator worked last; cancelled, it empties the file name.
    void scanOffersPlotterFilesStartingWhereTheOperatorWorkedLast() {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("jobs")));
        const QString upper = Touch("jobs/LOGO.PLT"), lower = Touch("jobs/star.plt");
        Touch("jobs/notes.txt");
        CImportDlg dlg;
        dlg.show();
        QString startDir;
        QStringList filters;
        PickNext(lower, &startDir, &filters);
        dlg.OnScan();
        QCOMPARE(startDir, QDir::homePath());
        QCOMPARE(filters.value(0), QStringLiteral("Plotter files (*.plt *.PLT *.hpgl *.hpg *.hp *.dmpl)"));
        QCOMPARE(FileName(&dlg)->text(), lower);

        // The next dialog starts in that directory, and the upper-case name matches too.
        PickNext(upper, &startDir);
        Click(&dlg, "scan");
        QCOMPARE(startDir, QDir(m_dir.filePath(QStringLiteral("jobs"))).absolutePath());
        QCOMPARE(FileName(&dlg)->text(), upper);
        PickNext(QString());
        Click(&dlg, "scan");
        QCOMPARE(FileName(&dlg)->text(), QString());
        Click(&dlg, "ok");
        QCOMPARE(dlg.m_strFileName, QString());
    }
};

QTEST_MAIN(ImportDlgTest)
#include "app_importdlg_test.moc"
