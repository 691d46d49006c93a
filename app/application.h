// The application object: an exception that escapes an event handler is
// shown in an error box and the event loop goes on.
#pragma once

#include <QApplication>
#include <QStringList>

#include <functional>
#include <optional>

class QTranslator;

namespace orn {

// Shows an unhandled error's text in a modal error box.  Tests replace it.
extern std::function<void(const QString& text)> ShowErrorBox;

// The languages the program speaks: Russian, its own, and English.
enum class TLanguage { Russian, English };

// The language the user's UI languages ask for (QLocale::uiLanguages(), in
// order of preference): the first of them the program speaks; Russian when
// none is, and always in the C (POSIX) locale, `localeName` "C".
TLanguage LanguageOf(const QString& localeName, const QStringList& uiLanguages);

// The language chosen in the program ("Язык / Language"), kept in its
// settings; none until one is chosen.
std::optional<TLanguage> ChosenLanguage();
void RememberLanguage(TLanguage language);

class TApplication : public QApplication {
public:
    // Speaks the language chosen in the program, else the one the user's
    // locale asks for.
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The program's texts and Qt's own in `language` from now on, for the
    // windows made after (those made before keep their texts).
    void SetLanguage(TLanguage language);
    TLanguage Language() const { return language_; }

private:
    TLanguage language_ = TLanguage::Russian;
    QTranslator* program_ = nullptr;   // the English of the program's texts
    QTranslator* qt_ = nullptr;        // Qt's own texts in Russian
};

// Runs `body`, showing an exception that escapes it in the error box; an
// exception that is not a std::exception is shown with an empty text.
void RunGuarded(const std::function<void()>& body);

} // namespace orn
