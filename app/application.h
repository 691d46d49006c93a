// The application object: an exception that escapes an event handler is
// shown in an error box and the event loop goes on.
#pragma once

#include <QApplication>

#include <functional>

namespace orn {

// Shows an unhandled error's text in a modal error box.  Tests replace it.
extern std::function<void(const QString& text)> ShowErrorBox;

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs `body`, showing an exception that escapes it in the error box; an
// exception that is not a std::exception is shown with an empty text.
void RunGuarded(const std::function<void()>& body);

} // namespace orn
