#include "export/ConversionRun.h"

namespace almadia {

// Placeholder until the table builders land: no builder, no table written.
const std::vector<Builder>& conversionBuilders() {
    static const std::vector<Builder> builders;
    return builders;
}

} // namespace almadia
