#include "application.h"

#include "version.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

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
    // Qt's own texts (the standard buttons, the file dialog) in the language
    // of the program's: Russian, from Qt's translations (Debian package
    // qt6-translations-l10n).  Without them they stay English.
    auto* qt = new QTranslator(this);
    if (qt->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qt);
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
