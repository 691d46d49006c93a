#include "application.h"

#include "version.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
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
    const QLocale system = QLocale::system();
    SetLanguage(ChosenLanguage().value_or(LanguageOf(system.name(), system.uiLanguages())));
}

void TApplication::SetLanguage(TLanguage language) {
    language_ = language;
    for (QTranslator** t : {&program_, &qt_}) {
        if (!*t) continue;
        removeTranslator(*t);
        delete *t;
        *t = nullptr;
    }
    if (language == TLanguage::English) {
        // The texts are Russian in the sources; their English is built into
        // the program (i18n/orn10util_en.ts).
        program_ = new QTranslator(this);
        if (program_->load(QStringLiteral(":/i18n/orn10util_en.qm"))) installTranslator(program_);
        return;   // Qt's own texts are English already
    }
    // Qt's own texts (the standard buttons, the file dialog) in Russian too,
    // from Qt's translations (Debian package qt6-translations-l10n).  Without
    // them they stay English.
    qt_ = new QTranslator(this);
    if (qt_->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qt_);
}

TLanguage LanguageOf(const QString& localeName, const QStringList& uiLanguages) {
    if (localeName == QLatin1String("C")) return TLanguage::Russian;
    for (const QString& name : uiLanguages) {
        const QLocale::Language l = QLocale(name).language();
        if (l == QLocale::English) return TLanguage::English;
        if (l == QLocale::Russian) return TLanguage::Russian;
    }
    return TLanguage::Russian;
}

namespace {
QSettings Settings() { return QSettings(QStringLiteral("orn10util"), QStringLiteral("orn10util")); }
const QString LanguageKey = QStringLiteral("language");
} // namespace

std::optional<TLanguage> ChosenLanguage() {
    const QString chosen = Settings().value(LanguageKey).toString();
    if (chosen == QLatin1String("en")) return TLanguage::English;
    if (chosen == QLatin1String("ru")) return TLanguage::Russian;
    return std::nullopt;
}

void RememberLanguage(TLanguage language) {
    Settings().setValue(LanguageKey, language == TLanguage::English ? QStringLiteral("en") : QStringLiteral("ru"));
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
