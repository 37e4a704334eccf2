// What an operator expects of the import and the view: the flavour offered,
// a conversion that leaves nothing to cut, a job larger than the material,
// Fit, the Ctrl + wheel zoom and the status bar's job and pointer panes.
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QRadioButton>
#include <QtTest/QtTest>

#include "app/jobsession.h"
#include "app/mainframe.h"
#include "app/viewnavigator.h"
#include "app/velkarapp.h"
#include "qtsupport.h"
#include "render/jobrenderer.h"
#include "serial/profile.h"
#include "testsupport.h"
#include "view/velkarview.h"

using namespace velkar;
using velkar::test::OnNextModal;
using velkar::test::Rec;

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
    void init() { QVERIFY(velkar::test::StartApp(m_app)); }
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

    void jobLargerThanTheMaterialIsToldAndScrolledTo_data() {
        QTest::addColumn<QPoint>("from");  // a cut, job units
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<int>("knife");
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("warning");
        QTest::newRow("fits") << QPoint(400, 400) << QPoint(4000, 4000) << 1
                              << QStringLiteral("job 90.0 x 90.0 mm, knife 1") << QString();
        QTest::newRow("wider") << QPoint(0, 0) << QPoint(12000, 400) << 3
                               << QStringLiteral("job 300.0 x 10.0 mm, knife 3 - larger than the material (200 x 200 mm)")
                               << QStringLiteral("the job (300.0 x 10.0 mm) is larger than the material (200 x 200 mm)");
        QTest::newRow("far off") << QPoint(400000, 400000) << QPoint(404000, 404000) << 2
                                 << QStringLiteral("job 100.0 x 100.0 mm, knife 2") << QString();
        QTest::newRow("left of the frame") << QPoint(-20000, -8000) << QPoint(-16000, -4000) << 1
                                           << QStringLiteral("job 100.0 x 100.0 mm, knife 1") << QString();
    }
    void jobLargerThanTheMaterialIsToldAndScrolledTo() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(int, knife);
        QFETCH(QString, pane);
        QFETCH(QString, warning);
        const std::string job = m_dir.File("job.PT1");
        velkar::test::WriteJob(job,
                               {Rec(RecKnife, knife), Rec(RecMove, from.x(), from.y()), Rec(RecLine, to.x(), to.y()),
                                Rec(RecPathEnd)},
                               4, to.y());
        CVelkarView* view = m_app->View();
        view->ScrollTo(QPoint(50, 50));
        Session()->OpenOrImportFile(QString::fromStdString(job));
        QTRY_COMPARE(Frame()->findChild<QLabel*>(QStringLiteral("jobpane"))->text(), pane);
        QCOMPARE(Session()->Navigator()->SizeWarning(), warning);
        // The job lies within the scroll area, and its start is in sight.
        const QPoint start(300 + std::min(from.x(), to.x()) / 40, 100 + std::min(from.y(), to.y()) / 40);
        const QPoint end(300 + std::max(from.x(), to.x()) / 40, 100 + std::max(from.y(), to.y()) / 40);
        QVERIFY(view->ScrollArea().contains(QRect(start, end)));
        QTRY_VERIFY(QRect(view->ScrollPosition(), view->viewport()->size()).contains(start));
    }

    void fitAndTheWheelZoomAboutThePointer() {
        const std::string job = m_dir.File("wide.PT1");
        // 300 mm by 50 mm beside a material of 200 by 200 mm.
        velkar::test::WriteJob(job, {Rec(RecMove, 0, 0), Rec(RecLine, 12000, 2000), Rec(RecPathEnd)}, 4, 2000);
        CVelkarView* view = m_app->View();
        Session()->OpenOrImportFile(QString::fromStdString(job));
        QTRY_VERIFY(!Frame()->findChild<QLabel*>(QStringLiteral("jobpane"))->text().isEmpty());
        QTest::keyClick(Frame(), Qt::Key_0, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return view->ScrollPosition() != QPoint(0, 0); }));
        // The job and the material (300 by 200 mm) fill the window: they fit, and one step larger would not.
        const int z = CJobRenderer::ScaleDivisor(Session()->m_dScale);
        const QSize page = view->viewport()->size() - QSize(20, 20);
        const QRect visible(view->ScrollPosition(), view->viewport()->size());
        QVERIFY(visible.contains(QRect(300, 100, 12000 / z, 8000 / z)));
        QVERIFY(12000 / (z - 1) > page.width() || 8000 / (z - 1) > page.height());

        // Ctrl + wheel away from the operator doubles the picture about the pointer.
        auto* pointer = Frame()->findChild<QLabel*>(QStringLiteral("pointerpane"));
        const QPoint at(120, 80);
        const auto moveTo = [&] {
            QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(view->viewport(), &move);
            return pointer->text();
        };
        const QString before = moveTo();
        QCOMPARE(before, QStringLiteral("x %1 mm, y %2 mm")
                             .arg((visible.left() + at.x() - 300) * z / 40.0, 0, 'f', 1)
                             .arg((visible.top() + at.y() - 100) * z / 40.0, 0, 'f', 1));
        QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        const int zoomed = CJobRenderer::ScaleDivisor(Session()->m_dScale);
        QCOMPARE(zoomed, z / 2);
        // The job point under the pointer stays there, to a pixel.
        const QPoint units = (visible.topLeft() + at - QPoint(300, 100)) * z;
        const QPoint unitsAfter = (view->ScrollPosition() + at - QPoint(300, 100)) * zoomed;
        QVERIFY2(std::abs(units.x() - unitsAfter.x()) <= zoomed && std::abs(units.y() - unitsAfter.y()) <= zoomed,
                 qPrintable(moveTo() + QStringLiteral(" after ") + before));
    }
};

QTEST_MAIN(OperatorViewTest)
#include "app_operatorview_test.moc"
