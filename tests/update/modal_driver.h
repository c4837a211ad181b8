#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace korimo::testing {

// The first visible top-level window of type W, or nullptr.
template <typename W> W* visibleWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<W*>(widget); window != nullptr && window->isVisible())
            return window;
    return nullptr;
}

// Acts on a modal window while its exec() runs: polls from the event loop until a visible W
// exists and step(window) returns true (step may be called several times, e.g. to wait for a
// label). A window that never comes, or a step that never finishes, fails the test and the
// window is closed so that the test does not hang.
template <typename W> void whenShown(std::function<bool(W*)> step)
{
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, ticks, step] {
        W* window = visibleWindow<W>();
        if (window != nullptr && step(window)) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (++*ticks > 10000) { // a safety net against a hanging test, not a measurement
            ADD_FAILURE() << "the expected window state never came";
            timer->stop();
            timer->deleteLater();
            if (window != nullptr)
                window->close();
        }
    });
    timer->start();
}

// Serves events until done() holds (or a generous safety limit passes). Returns done().
inline bool serveUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 10000 && !done(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

} // namespace korimo::testing
