#include "frame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace orn {

namespace {

class OnFirstExpose : public QObject {
public:
    OnFirstExpose(QWindow* window, std::function<void()> action) : QObject(window), action_(std::move(action)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            deleteLater();
            action_();
        }
        return false;
    }

private:
    std::function<void()> action_;
};

} // namespace

void WhenOnScreen(QWidget& window, std::function<void()> action) {
    window.winId();   // the native window, to watch
    new OnFirstExpose(window.windowHandle(), std::move(action));
}

} // namespace orn
