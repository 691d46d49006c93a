#include "catalogue.h"

#include <cstring>

namespace orn {

const char* FindTranslation(const TCatalogueEntry* table, size_t size, const char* context, const char* source) {
    // A few hundred entries, looked up a few times per line of output.
    for (size_t i = 0; i < size; ++i)
        if (std::strcmp(table[i].source, source) == 0 && std::strcmp(table[i].context, context) == 0)
            return table[i].translation;
    return nullptr;
}

} // namespace orn
