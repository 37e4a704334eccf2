#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/progresswnd.h"

using velkar::CProgressWnd;

namespace {

// Counts the events of type Counted that reach it.
class EventCounter : public QObject {
public:
    static constexpr QEvent::Type Counted = QEvent::User;
    int count = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == Counted) {
            ++count;
            return true;
        }
        return QObject::event(e);
    }
};

}  // namespace

class ProgressWndTest : public QObject {
    Q_OBJECT

private slots:
    void opensVisibleWithItsTitleAndControls();
    void captionFollowsThePercentageOnlyWhenItChanges();
    void emptyOrReversedRangeKeepsTheCaptionPlain();
    void percentageIgnoresTheLowerEndAndSurvivesHugePositions();
    void positionsAreRememberedAndTheBarClamped();
    void cancelButtonOnlyRaisesTheFlag();
    void escapeCancelsOnlyWhilePumpingWithEscapeOn();
    void pumpDeliversPendingEventsUntilCancelled();
    void closingTheWindowRequestsCancelInstead();
};

void ProgressWndTest::opensVisibleWithItsTitleAndControls() {
    QWidget owner;
    owner.resize(800, 600);
    owner.show();
    CProgressWnd wnd(&owner, QStringLiteral("send..."), true);
    QVERIFY(wnd.isVisible());
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send..."));
    auto* message = wnd.findChild<QLabel*>(QStringLiteral("message"));
    auto* cancel = wnd.findChild<QPushButton*>(QStringLiteral("cancel"));
    auto* bar = wnd.findChild<QProgressBar*>(QStringLiteral("bar"));
    QVERIFY(message && cancel && bar);
    QCOMPARE(cancel->text(), QStringLiteral("cancle"));
    QCOMPARE(message->text(), QString());
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(!wnd.IsCancelRequested());

    // Four lines of text 390 pixels wide, the button right-aligned 10 pixels
    // under it, the bar to its left.
    QCOMPARE(message->geometry().left(), 10);
    QCOMPARE(message->geometry().width(), 390);
    QVERIFY(message->height() >= 4 * message->fontMetrics().height() - 4);
    QCOMPARE(cancel->geometry().right(), message->geometry().right());
    QCOMPARE(cancel->geometry().top(), message->geometry().bottom() + 11);
    QCOMPARE(bar->geometry().right(), cancel->geometry().left() - 11);
    QCOMPARE(wnd.width(), 410);
    QCOMPARE(wnd.height(), message->height() + cancel->height() + 30);

    wnd.SetMessage(QStringLiteral("please wait..."));
    QCOMPARE(message->text(), QStringLiteral("please wait..."));
}

void ProgressWndTest::captionFollowsThePercentageOnlyWhenItChanges() {
    CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
    QSignalSpy titles(&wnd, &QWidget::windowTitleChanged);
    wnd.SetBarRange(0, 1000, 1);
    for (int i = 0; i < 9; ++i) wnd.Advance();
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send..."));
    QCOMPARE(titles.count(), 0);
    wnd.Advance();
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [1%]"));
    for (int i = 10; i < 370; ++i) wnd.Advance();
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [37%]"));
    for (int i = 370; i < 1000; ++i) wnd.Advance();
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [100%]"));
    QCOMPARE(titles.count(), 100);
    QCOMPARE(wnd.LastPosition(), 1000);

    // The same percentage again leaves the caption alone; going back changes it.
    wnd.SetBarPosition(1005);
    QCOMPARE(titles.count(), 100);
    wnd.SetBarPosition(0);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [0%]"));
}

void ProgressWndTest::emptyOrReversedRangeKeepsTheCaptionPlain() {
    CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
    wnd.SetBarRange(5, 5, 1);
    wnd.SetBarPosition(3);
    wnd.Advance();
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send..."));
    wnd.SetBarRange(10, 0, 1);
    wnd.SetBarPosition(7);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send..."));
    QCOMPARE(wnd.LastPosition(), 7);
}

void ProgressWndTest::percentageIgnoresTheLowerEndAndSurvivesHugePositions() {
    CProgressWnd wnd(nullptr, QStringLiteral("job"), false);
    wnd.SetBarRange(50, 150, 1);
    wnd.SetBarPosition(100);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("job [100%]"));
    wnd.SetBarPosition(75);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("job [75%]"));

    // Up to 21474836 the result is the plain 32-bit one; beyond it the
    // percentage stays right instead of overflowing.
    wnd.SetBarRange(0, 40000000, 1);
    wnd.SetBarPosition(21474836);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("job [53%]"));
    wnd.SetBarPosition(30000000);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("job [75%]"));
    wnd.SetBarRange(-2147483647 - 1, 2147483647, 1);
    wnd.SetBarPosition(2147483647);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("job [49%]"));
    wnd.SetBarRange(0, 1, 2147483647);
    wnd.SetBarPosition(2147483647);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("job [2147483647%]"));
    wnd.Advance();  // wraps like a 32-bit counter
    QCOMPARE(wnd.LastPosition(), -2);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("job [-200%]"));
}

void ProgressWndTest::positionsAreRememberedAndTheBarClamped() {
    CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
    auto* bar = wnd.findChild<QProgressBar*>(QStringLiteral("bar"));
    wnd.SetBarRange(0, 10, 5);
    QCOMPARE(wnd.SetBarPosition(3), 0);
    QCOMPARE(wnd.Advance(), 3);
    QCOMPARE(wnd.LastPosition(), 8);
    QCOMPARE(bar->value(), 8);
    QCOMPARE(wnd.Advance(), 8);
    QCOMPARE(wnd.LastPosition(), 13);
    QCOMPARE(bar->value(), 10);
    QCOMPARE(wnd.SetBarPosition(-4), 10);
    QCOMPARE(bar->value(), 0);

    // A new range keeps the position and the shown percentage.
    wnd.SetBarPosition(5);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [50%]"));
    wnd.SetBarRange(0, 1000, 1);
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [50%]"));
    QCOMPARE(wnd.LastPosition(), 5);
    QCOMPARE(bar->value(), 5);
    QCOMPARE(bar->maximum(), 1000);
}

void ProgressWndTest::cancelButtonOnlyRaisesTheFlag() {
    CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
    auto* cancel = wnd.findChild<QPushButton*>(QStringLiteral("cancel"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(wnd.IsCancelRequested());
    QVERIFY(wnd.isVisible());
    QCOMPARE(wnd.windowTitle(), QStringLiteral("send..."));
    wnd.SetBarPosition(50);
    QVERIFY(wnd.IsCancelRequested());  // never cleared again
}

void ProgressWndTest::escapeCancelsOnlyWhilePumpingWithEscapeOn() {
    QWidget main;
    auto* edit = new QLineEdit(&main);
    main.show();
    CProgressWnd wnd(&main, QStringLiteral("send..."), true);

    // Esc outside a pump, and during a pump without Esc cancelling, is ordinary input.
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!wnd.IsCancelRequested());
    QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    wnd.PumpPending(false);
    QVERIFY(!wnd.IsCancelRequested());

    // An Esc meant for any window of the application cancels while the pump runs.
    QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
    wnd.PumpPending(true);
    QVERIFY(!wnd.IsCancelRequested());
    QCOMPARE(edit->text(), QStringLiteral("a"));
    QCoreApplication::postEvent(edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    wnd.PumpPending(true);
    QVERIFY(wnd.IsCancelRequested());

    // The filter is gone once the pump returned.
    CProgressWnd second(&main, QStringLiteral("send..."), true);
    wnd.PumpPending(true);
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!second.IsCancelRequested());
}

void ProgressWndTest::pumpDeliversPendingEventsUntilCancelled() {
    CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
    EventCounter counter;
    wnd.PumpPending(true);  // an empty queue returns at once
    QCoreApplication::postEvent(&counter, new QEvent(EventCounter::Counted));
    QCoreApplication::postEvent(&counter, new QEvent(EventCounter::Counted));
    wnd.PumpPending(true);
    QCOMPARE(counter.count, 2);

    wnd.OnCancelButton();
    QCoreApplication::postEvent(&counter, new QEvent(EventCounter::Counted));
    wnd.PumpPending(true);
    QCOMPARE(counter.count, 2);
    QCoreApplication::sendPostedEvents(&counter);
    QCOMPARE(counter.count, 3);

    // Finishing a step after the cancel: the pump goes on, Esc abandons
    // nothing, the button turned "abandon" does, and the pump then stops.
    auto* button = wnd.findChild<QPushButton*>(QStringLiteral("cancel"));
    wnd.BeginFinishing(QStringLiteral("finishing"));
    QCOMPARE(button->text(), QStringLiteral("abandon"));
    QCoreApplication::postEvent(&counter, new QEvent(EventCounter::Counted));
    QCoreApplication::postEvent(&wnd, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    wnd.PumpPending(true);
    QCOMPARE(counter.count, 4);
    QVERIFY(!wnd.IsAbandonRequested());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(wnd.IsAbandonRequested());
    QCoreApplication::postEvent(&counter, new QEvent(EventCounter::Counted));
    wnd.PumpPending(true);
    QCOMPARE(counter.count, 4);
}

void ProgressWndTest::closingTheWindowRequestsCancelInstead() {
    CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
    QVERIFY(!wnd.close());
    QVERIFY(wnd.isVisible());
    QVERIFY(wnd.IsCancelRequested());
}

QTEST_MAIN(ProgressWndTest)
#include "app_progresswnd_test.moc"
