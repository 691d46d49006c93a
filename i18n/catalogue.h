// A table of translations for a program without Qt (orn10ctl): the finished
// English translations of the texts it shares with the window, made at build
// time from the window's Qt Linguist file (ts_table.cmake), so that a text is
// translated once, for both.
#pragma once

#include <cstddef>

namespace orn {

struct TCatalogueEntry {
    const char* context;       // as QT_TRANSLATE_NOOP names it
    const char* source;        // the Russian text
    const char* translation;
};

// From i18n/orn10util_en.ts, the contexts orn10ctl shows; ended by an entry
// of null pointers.
extern const TCatalogueEntry EnglishTexts[];
extern const size_t EnglishTextsSize;

// The translation of `source` in `context`; nullptr when the table has none.
const char* FindTranslation(const TCatalogueEntry* table, size_t size, const char* context, const char* source);

} // namespace orn
