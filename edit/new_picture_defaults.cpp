#include "edit/new_picture_defaults.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

CNewPictureDefaults LoadNewPictureDefaults() {
    CNewPictureDefaults defaults;
    int width = 0;
    int height = 0;
    const std::string limit = ReadProgramSetting(kNewPictureLimitSetting);
    if (std::sscanf(limit.c_str(), "%dx%d", &width, &height) == 2 &&
        IsValidSizeLimit(width, height)) {
        defaults.limitWidth = static_cast<std::int16_t>(width);
        defaults.limitHeight = static_cast<std::int16_t>(height);
    }
    defaults.crop = ReadProgramSetting(kNewPictureCropSetting) == "0" ? 0 : 1;
    const int depth = std::atoi(ReadProgramSetting(kNewPictureDepthSetting).c_str());
    if (IsStoredDepth(depth)) {
        defaults.depth = static_cast<std::uint8_t>(depth);
    }
    return defaults;
}

void SaveNewPictureDefaults(const CNewPictureDefaults& defaults) {
    (void)WriteProgramSetting(kNewPictureLimitSetting, std::to_string(defaults.limitWidth) + "x" +
                                                           std::to_string(defaults.limitHeight));
    (void)WriteProgramSetting(kNewPictureCropSetting, defaults.crop != 0 ? "1" : "0");
    (void)WriteProgramSetting(kNewPictureDepthSetting, std::to_string(defaults.depth));
}
