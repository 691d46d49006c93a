#include "texts.h"

#include "catalogue.h"

#include <cstdlib>
#include <string_view>
#include <vector>

namespace orn::ctl {

namespace {

TLanguage g_language = TLanguage::English;

bool Set(const char* s) { return s && *s; }

// "ru" of "ru_RU.UTF-8", "ru@..." or "ru".
std::string_view LanguagePart(std::string_view locale) { return locale.substr(0, locale.find_first_of("_.@")); }

} // namespace

TLanguage LanguageOf(const char* lcAll, const char* lcMessages, const char* lang, const char* language) {
    const char* locale = Set(lcAll) ? lcAll : Set(lcMessages) ? lcMessages : Set(lang) ? lang : "C";
    const std::string_view name = LanguagePart(locale);
    if (name == "C" || name == "POSIX") return TLanguage::English;
    if (!Set(language)) return name == "ru" ? TLanguage::Russian : TLanguage::English;
    // The first language of the list that orn10ctl speaks; none: English,
    // its own.
    std::string_view list = language;
    while (!list.empty()) {
        const size_t colon = list.find(':');
        const std::string_view entry = LanguagePart(list.substr(0, colon));
        if (entry == "ru") return TLanguage::Russian;
        if (entry == "en") return TLanguage::English;
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return TLanguage::English;
}

TLanguage LanguageOfEnvironment() {
    return LanguageOf(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"), std::getenv("LANGUAGE"));
}

void SetLanguage(TLanguage language) { g_language = language; }

TLanguage Language() { return g_language; }

const char* translate(const char* context, const char* source) {
    if (g_language == TLanguage::Russian) return source;
    const char* english = FindTranslation(EnglishTexts, EnglishTextsSize, context, source);
    return english ? english : source;
}

std::string Arg(const std::string& text, std::initializer_list<std::string> args) {
    const std::vector<std::string> a(args);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t n = i + 1 < text.size() ? size_t(text[i + 1] - '1') : a.size();
        if (text[i] == '%' && n < a.size()) {
            out += a[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace orn::ctl
