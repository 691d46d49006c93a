// orn10ctl's language: one per run, English unless the locale's language is
// Russian or --lang ru is given.
//
// Its texts are Russian in the sources, as the window's, each marked for the
// translations with the context it is translated in: its own with
// translate("orn10ctl", "..."), the instruments', the ports' and the records'
// with QT_TRANSLATE_NOOP in their libraries.  The English comes from the
// window's translation file (i18n/orn10util_en.ts) through a table made at
// build time, so that the two programs call a reading or an error alike.
#pragma once

#include <initializer_list>
#include <string>

namespace orn::ctl {

enum class TLanguage { English, Russian };

// The language the environment asks for, as the C library reads it: the
// locale of the messages is LC_ALL, else LC_MESSAGES, else LANG; outside the
// C (POSIX) locale a LANGUAGE list ("de:en") names the languages in order,
// and without one the locale's language counts.  Russian when the first
// language that names one orn10ctl speaks is Russian.
TLanguage LanguageOf(const char* lcAll, const char* lcMessages, const char* lang, const char* language);
TLanguage LanguageOfEnvironment();

void SetLanguage(TLanguage language);
TLanguage Language();

// `source` (Russian, marked in `context`) in the language of the run.  A
// text without an English translation stands as it is.
const char* translate(const char* context, const char* source);

// `text` with %1, %2, ... replaced by `args` in order.
std::string Arg(const std::string& text, std::initializer_list<std::string> args);

} // namespace orn::ctl
