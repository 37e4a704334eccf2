#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
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
    // Four lines of text 390 pixels wide, the button right-aligned 10 pixels
    // under it, the bar to its left; the button and closing the window only
    // raise the cancel flag, which is never cleared.
    void layoutAndCancel() {
        QWidget owner;
        owner.show();
        CProgressWnd wnd(&owner, QStringLiteral("send..."), true);
        QVERIFY(wnd.isVisible());
        auto* message = wnd.findChild<QLabel*>(QStringLiteral("message"));
        auto* cancel = wnd.findChild<QPushButton*>(QStringLiteral("cancel"));
        auto* bar = wnd.findChild<QProgressBar*>(QStringLiteral("bar"));
        QCOMPARE(cancel->text(), QStringLiteral("cancle"));
        QCOMPARE(
            (QList<int>{message->x(), message->width(), cancel->geometry().right(), cancel->y(),
                        bar->geometry().right()}),
            (QList<int>{10, 390, message->geometry().right(), message->geometry().bottom() + 11, cancel->x() - 11}));
        QVERIFY(message->height() >= 4 * message->fontMetrics().height() - 4);
        QCOMPARE(wnd.size(), QSize(410, message->height() + cancel->height() + 30));

        QTest::mouseClick(cancel, Qt::LeftButton);
        wnd.SetBarPosition(50);
        QVERIFY(wnd.IsCancelRequested() && wnd.isVisible());
        CProgressWnd closed(nullptr, QStringLiteral("send..."), true);
        QVERIFY(!closed.close());
        QVERIFY(closed.IsCancelRequested() && closed.isVisible());
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

    void positionsAreRememberedAndTheBarClamped() {
        CProgressWnd wnd(nullptr, QStringLiteral("send..."), true);
        auto* bar = wnd.findChild<QProgressBar*>(QStringLiteral("bar"));
        wnd.SetBarRange(0, 10, 5);
        QCOMPARE(wnd.SetBarPosition(3), 0);
        QCOMPARE(wnd.Advance(), 3);
        QCOMPARE(wnd.Advance(), 8);
        QCOMPARE(wnd.LastPosition(), 13);
        QCOMPARE(bar->value(), 10);
        QCOMPARE(wnd.SetBarPosition(-4), 10);
        QCOMPARE(bar->value(), 0);

        // A new range keeps the position and the shown percentage.
        wnd.SetBarPosition(5);
        wnd.SetBarRange(0, 1000, 1);
        QCOMPARE(wnd.windowTitle(), QStringLiteral("send... [50%]"));
        QCOMPARE((QList<int>{wnd.LastPosition(), bar->value(), bar->maximum()}), (QList<int>{5, 5, 1000}));
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
        QCOMPARE(pumped(), 1);
        wnd.OnCancelButton();
        QCOMPARE(pumped(), 1);
        QCoreApplication::sendPostedEvents(&counter);

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
