#include "Syntax.h"

#include <array>

#include "tables/Rv40Tables.h"

namespace quenlar::rv40 {

int ModePairContext(int topRight, int top, int left)
{
    static const std::array<std::int8_t, 729> kContext = [] {
        std::array<std::int8_t, 729> table{};
        table.fill(-1);
        for (int k = 0; k < 20; ++k) {
            const int v = tables::kModePairContexts[k];
            table[(v >> 8) * 81 + ((v >> 4) & 15) * 9 + (v & 15)] = static_cast<std::int8_t>(k);
        }
        return table;
    }();
    if (topRight < 0 || top < 0 || left < 0)
        return -1;
    return kContext[left * 81 + top * 9 + topRight];
}

}  // namespace quenlar::rv40
