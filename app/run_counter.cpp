#include "app/run_counter.h"

#include <array>

#include "imaging/byte_order.h"
#include "platform/registry.h"
#include "res/resource.h"

namespace {

constexpr char kRunCountValue[] = "run count";

struct CBanner {
    int bitmap;
    int link;
};

constexpr std::array<CBanner, kBannerCount> kBanners = {{
    {IDB_BANNER_0, IDS_BANNER_LINK_0},
    {IDB_BANNER_1, IDS_BANNER_LINK_1},
    {IDB_BANNER_2, IDS_BANNER_LINK_2},
    {IDB_BANNER_3, IDS_BANNER_LINK_3},
    {IDB_BANNER_4, IDS_BANNER_LINK_4},
}};

const CBanner& Banner(std::int16_t index) {
    return kBanners[index >= 0 && index < kBannerCount ? static_cast<std::size_t>(index) : 0];
}

}  // namespace

std::int16_t AdvanceRunCounter() {
    CRegistryKey key(kRootCurrentUser, kProgramKeyPath, false);
    if (!key.IsOpen()) {
        CRegistryKey created(kRootCurrentUser, kProgramKeyPath, true);
        if (created.IsOpen()) {
            (void)created.SetDword(0, kRunCountValue);
        }
        return 0;
    }
    std::uint8_t stored[4] = {};
    std::uint32_t size = sizeof stored;
    // A value too large to read leaves the count at 0: the counter starts again.
    std::uint32_t count = 0;
    if (key.ReadValueDirect(stored, size, kRunCountValue)) {
        count = LoadLittleEndian32(stored);  // a shorter value's missing bytes stay 0
    }
    ++count;
    (void)key.SetDword(count, kRunCountValue);
    return static_cast<std::int16_t>(count % kBannerCount);
}

int BannerBitmapId(std::int16_t bannerIndex) {
    return Banner(bannerIndex).bitmap;
}

int BannerLinkId(std::int16_t bannerIndex) {
    return Banner(bannerIndex).link;
}
