#include "base/common/PlainFileName.h"

namespace vantrell {

bool isPlainFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    if (name.size() > 255)
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '/' || c == '\\' || c == ':')
            return false;
    }
    const char last = name.back();
    return last != ' ' && last != '.';
}

} // namespace vantrell
