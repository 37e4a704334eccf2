// What an operator expects of the import and the view: the flavour offered,
// a conversion that leaves nothing to cut, a job larger than the material,
// Fit, the Ctrl + wheel zoom and the status bar's job and pointer panes.
#include <QAbstractButton>
#include <QMessageBox>
#include <QRadioButton>
#include <QtTest/QtTest>

#include "app/jobsession.h"
#include "app/mainframe.h"
#include "app/velkarapp.h"
#include "qtsupport.h"
#include "serial/profile.h"
#include "testsupport.h"
#include "view/velkarview.h"

using namespace velkar;
using velkar::test::OnNextModal;

class OperatorViewTest : public QObject {
    Q_OBJECT
    velkar::test::ScratchDir m_dir;
    velkar::test::TempDirOverride m_temp;
    std::unique_ptr<CVelkarApp> m_app;

    CMainFrame* Frame() { return m_app->MainFrame(); }
    CJobSession* Session() { return m_app->Session(); }

    QString Plotter(const QByteArray& content) {
        const QString path = QString::fromStdString(m_dir.File("drawing.plt"));
        velkar::test::WriteText(path.toStdString(), content.toStdString());
        return path;
    }

    // The flavour button checked when the Import dialog opens; closes it with
    // Cancel, or clicks flavour and OK.
    int OfferedFlavour(const QString& prefill, int click = 0) {
        int offered = 0;
        OnNextModal([&offered, click](QWidget* w) {
            for (int i = 1; i <= 7; ++i)
                if (w->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(i))->isChecked()) offered = i;
            if (click == 0) {
                velkar::test::Click(w, "cancel");
                return;
            }
            QTest::mouseClick(w->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(click)), Qt::LeftButton);
            velkar::test::Click(w, "ok");
        });
        if (prefill.isEmpty())
            Session()->OnImport();
        else
            Session()->OpenOrImportFile(prefill);
        return offered;
    }

private slots:
    void init() {
        velkar::test::ClearProfile();
        m_app = std::make_unique<CVelkarApp>();
        QVERIFY(m_app->InitInstance({}));
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    }
    void cleanup() { m_app.reset(); }

    void importOffersTheFlavourThatReadsTheFile_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file handed over
        QTest::addColumn<int>("usedLast");        // 0: nothing stored
        QTest::addColumn<int>("offered");
        QTest::newRow("first use") << QByteArray() << 0 << 1;
        QTest::newRow("the flavour used last") << QByteArray() << 4 << 4;
        QTest::newRow("HP-GL a line each") << QByteArray("IN;\nSP1;\nPU0,0;\nPD400,0;\nPD400,400;\nPU;\n") << 4 << 1;
        QTest::newRow("HP-GL on one line") << QByteArray("IN;SP1;PU0,0;PD400,0,400,400;PU;") << 1 << 5;
        QTest::newRow("DM/PL style") << QByteArray(" ;:AHOL\nUP1U100,200D300,400@\n") << 1 << 3;
        QTest::newRow("H;; type") << QByteArray("H;;M100,200Z300,400,5H;") << 1 << 4;
        QTest::newRow("HP-GL without converter") << QByteArray("IN;PR;PD400,0,0,400;") << 1 << 5;
    }
    void importOffersTheFlavourThatReadsTheFile() {
        QFETCH(QByteArray, content);
        QFETCH(int, usedLast);
        QFETCH(int, offered);
        if (usedLast != 0) OpenProfile()->setValue(QStringLiteral("import/flavour"), usedLast);
        QCOMPARE(OfferedFlavour(content.isEmpty() ? QString() : Plotter(content)), offered);
    }

    void conversionThatLeavesNothingToCutIsTold_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("flavour");
        QTest::addColumn<QString>("told");  // %1: the plotter file
        QTest::newRow("Standard PLT finds cuts")
            << QByteArray("IN;SP1;PU0,0;PD400,0,400,400;PU;") << 1
            << QStringLiteral("%1: nothing to cut with ZORVEX PLT; Standard PLT finds 2 cuts");
        QTest::newRow("CasMate PLT") << QByteArray("IN;SP1;PU0,0;PD400,0,400,400;PU;") << 4
                                     << QStringLiteral("%1: nothing to cut with CasMate PLT; Standard PLT finds 2 cuts");
        QTest::newRow("Standard PLT finds none either")
            << QByteArray("IN;SP1;PU100,100;") << 1 << QStringLiteral("%1: nothing to cut with ZORVEX PLT");
        QTest::newRow("with Standard PLT") << QByteArray("IN;SP1;PU100,100;") << 5
                                           << QStringLiteral("%1: nothing to cut with Standard PLT");
    }
    void conversionThatLeavesNothingToCutIsTold() {
        QFETCH(QByteArray, content);
        QFETCH(int, flavour);
        QFETCH(QString, told);
        const QString path = Plotter(content);
        QString message;
        OfferedFlavour(path, flavour);
        velkar::test::AnswerNextMessage(&message);
        QTRY_COMPARE(message, told.arg(path));
        QCOMPARE(Frame()->StatusText(), told.arg(path));
        // The flavour used is offered at the next import.
        QCOMPARE(velkar::test::ProfileValue(QStringLiteral("import/flavour")), QString::number(flavour));
    }
};

QTEST_MAIN(OperatorViewTest)
#include "app_operatorview_test.moc"
