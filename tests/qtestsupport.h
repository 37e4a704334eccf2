#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

namespace velkar::test {

// Runs action once on the first visible top-level widget of type W (a modal
// dialog opened by the code under test), polling from the event loop that the
// dialog runs. Nothing happens if no such widget ever appears.
template <class W>
void WhenShown(std::function<void(W*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action = std::move(action)] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* wanted = qobject_cast<W*>(w);
            if (!wanted || !wanted->isVisible()) continue;
            timer->stop();
            timer->deleteLater();
            action(wanted);
            return;
        }
    });
    timer->start();
}

}  // namespace velkar::test
