#include "res/core/resource_table.h"

#include "res/core/embedded_resources.h"

namespace {

struct CResourceEntry {
    std::string_view type;
    int id;
    CResourceData data;
};

const CResourceEntry kResources[] = {
    {"PALETTE", kSystemPaletteResourceId, {kPalette130, sizeof kPalette130}},
};

}  // namespace

CResourceData FindResource(std::string_view type, int id) {
    for (const auto& entry : kResources) {
        if (entry.type == type && entry.id == id) {
            return entry.data;
        }
    }
    return {};
}
