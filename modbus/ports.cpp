#include "ports.h"

#include <cstdlib>

namespace orn {

std::vector<PortVariable> PortVariables(const std::function<std::string(const std::string&)>& canonical) {
    std::vector<PortVariable> variables;
    for (int n = 1; n <= 256; ++n) {
        const char* target = std::getenv(("ORN10_COM" + std::to_string(n)).c_str());
        if (target && *target) variables.push_back({n, canonical(target)});
    }
    return variables;
}

} // namespace orn
