#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <climits>

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
        if (e->type() != Counted) return QObject::event(e);
        ++count;
        return true;
    }
};

void PressEscape(QObject* receiver) {
    QCoreApplication::postEvent(receiver, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
}

}  // namespace

class ProgressWndTest : public QObject {
    Q_OBJECT

private slots:
    void opensVisibleWithItsTitleAndControls() {
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
        QCOMPARE(wnd.size(), QSize(410, message->height() + cancel->height() + 30));

        wnd.SetMessage(QStringLiteral("please wait..."));
        QCOMPARE(message->text(), QStringLiteral("please wait..."));
    }

    // The caption shows position*100/(upper-lower) once it differs from the
    // last shown (0 at first), in 32 bits where that does not overflow.
    void captionShowsThePercentage_data() {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("last");  // after one Advance()
        // clang-format off
        QTest::newRow("still 0%") << 0 << 1000 << 1 << 8 << "send..." << 9;
        QTest::newRow("1%") << 0 << 1000 << 1 << 9 << "send... [1%]" << 10;
        QTest::newRow("lower end ignored") << 50 << 150 << 1 << 74 << "send... [75%]" << 75;
        QTest::newRow("plain 32 bits") << 0 << 40000000 << 1 << 21474835 << "send... [53%]" << 21474836;
        QTest::newRow("beyond 32 bits") << 0 << 40000000 << 1 << 29999999 << "send... [75%]" << 30000000;
        QTest::newRow("whole int range") << INT_MIN << INT_MAX << 1 << INT_MAX - 1 << "send... [49%]" << INT_MAX;
        QTest::newRow("wraps like a counter") << 0 << 1 << INT_MAX << INT_MAX << "send... [-200%]" << -2;
        QTest::newRow("empty range") << 5 << 5 << 1 << 3 << "send..." << 4;
        QTest::newRow("reversed range") << 10 << 0 << 1 << 7 << "send..." << 8;
        // clang-format on
    }

    void captionShowsThePercentage() {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(int, step);
        QFETCH(int, position);
        QFETCH(QString, title);
        QFETCH(int, last);
        CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
        wnd.SetBarRange(lower, upper, step);
        wnd.SetBarPosition(position);
        wnd.Advance();
        QCOMPARE(wnd.windowTitle(), title);
        QCOMPARE(wnd.LastPosition(), last);
    }

    void captionChangesOnlyWithThePercentage() {
        CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
        QSignalSpy titles(&wnd, &QWidget::windowTitleChanged);
        wnd.SetBarRange(0, 1000, 1);
        for (int i = 0; i < 1000; ++i) wnd.Advance();
        QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [100%]"));
        QCOMPARE(titles.count(), 100);
        wnd.SetBarPosition(1005);  // the same percentage again
        QCOMPARE(titles.count(), 100);
        wnd.SetBarPosition(0);
        QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [0%]"));
    }

    void positionsAreRememberedAndTheBarClamped() {
        CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
        auto* bar = wnd.findChild<QProgressBar*>(QStringLiteral("bar"));
        wnd.SetBarRange(0, 10, 5);
        QCOMPARE(wnd.SetBarPosition(3), 0);
        QCOMPARE(wnd.Advance(), 3);
        QCOMPARE(bar->value(), 8);
        QCOMPARE(wnd.Advance(), 8);
        QCOMPARE(wnd.LastPosition(), 13);
        QCOMPARE(bar->value(), 10);
        QCOMPARE(wnd.SetBarPosition(-4), 10);
        QCOMPARE(bar->value(), 0);

        // A new range keeps the position and the shown percentage.
        wnd.SetBarPosition(5);
        wnd.SetBarRange(0, 1000, 1);
        QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [50%]"));
        QCOMPARE(wnd.LastPosition(), 5);
        QCOMPARE(bar->value(), 5);
        QCOMPARE(bar->maximum(), 1000);
    }

    // The button and closing the window only raise the flag, which is never cleared.
    void cancelOnlyRaisesTheFlag() {
        CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
        QTest::mouseClick(wnd.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
        QVERIFY(wnd.IsCancelRequested());
        QVERIFY(wnd.isVisible());
        wnd.SetBarPosition(50);
        QVERIFY(wnd.IsCancelRequested());
        CProgressWnd closed(nullptr, QStringLiteral("send..."), true);
        QVERIFY(!closed.close());
        QVERIFY(closed.isVisible());
        QVERIFY(closed.IsCancelRequested());
    }

    void escapeCancelsOnlyWhilePumpingWithEscapeOn() {
        QWidget main;
        auto* edit = new QLineEdit(&main);
        main.show();
        CProgressWnd wnd(&main, QStringLiteral("send..."), true);

        // Esc outside a pump, and during a pump without Esc cancelling, is ordinary input.
        QTest::keyClick(edit, Qt::Key_Escape);
        PressEscape(edit);
        wnd.PumpPending(false);
        QVERIFY(!wnd.IsCancelRequested());

        // An Esc meant for any window of the application cancels while the pump runs.
        QCoreApplication::postEvent(edit,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
        wnd.PumpPending(true);
        QVERIFY(!wnd.IsCancelRequested());
        QCOMPARE(edit->text(), QStringLiteral("a"));
        PressEscape(edit);
        wnd.PumpPending(true);
        QVERIFY(wnd.IsCancelRequested());

        // The filter is gone once the pump returned.
        CProgressWnd second(&main, QStringLiteral("send..."), true);
        wnd.PumpPending(true);
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!second.IsCancelRequested());
    }

    void pumpDeliversPendingEventsUntilCancelled() {
        CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
        EventCounter counter;
        auto pumped = [&] {
            QCoreApplication::postEvent(&counter, new QEvent(EventCounter::Counted));
            wnd.PumpPending(true);
            return counter.count;
        };
        wnd.PumpPending(true);  // an empty queue returns at once
        QCOMPARE(pumped(), 1);
        wnd.OnCancelButton();
        QCOMPARE(pumped(), 1);
        QCoreApplication::sendPostedEvents(&counter);
        QCOMPARE(counter.count, 2);

        // Finishing a step after the cancel: the pump goes on, Esc abandons
        // nothing, the button turned "abandon" does, and the pump then stops.
        auto* button = wnd.findChild<QPushButton*>(QStringLiteral("cancel"));
        wnd.BeginFinishing(QStringLiteral("finishing"));
        QCOMPARE(button->text(), QStringLiteral("abandon"));
        PressEscape(&wnd);
        QCOMPARE(pumped(), 3);
        QVERIFY(!wnd.IsAbandonRequested());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(wnd.IsAbandonRequested());
        QCOMPARE(pumped(), 3);
    }
};

QTEST_MAIN(ProgressWndTest)
#include "app_progresswnd_test.moc"
