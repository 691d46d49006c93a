#include "application.h"

#include "version.h"

#include <QMessageBox>

#include <exception>

namespace orn {

std::function<void(const QString&)> ShowErrorBox = [](const QString& text) {
    QMessageBox::critical(nullptr, QApplication::applicationName(), text);
};

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationVersion(QString::fromLatin1(version::FileVersion));
    setProperty("FileDescription", QString::fromLatin1(version::FileDescription));
    setProperty("FileVersion", QString::fromLatin1(version::FileVersion));
    setProperty("ProductVersion", QString::fromLatin1(version::ProductVersion));
    setProperty("Language", QString::fromLatin1(version::Language));
}

void RunGuarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(QString());
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace orn
