#include "decode/gif_decoder.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <gif_lib.h>

namespace {

// The code sizes the format allows: 2 (the least that works) to 8 bits a pixel.
constexpr int kMinCodeSize = 2;
constexpr int kMaxCodeSize = 8;
constexpr int kGraphicsControl = GRAPHICS_EXT_FUNC_CODE;
constexpr int kInterlaceStart[] = {0, 4, 2, 1};
constexpr int kInterlaceStep[] = {8, 8, 4, 2};

const char* const kCutShort = "the file is cut short";
const char* const kUnknownColour =
    "the picture is damaged: a pixel has a colour the picture does not have";

struct CGifInput {
    std::FILE* file = nullptr;
    bool ranOut = false;
    GifByteType lastByte = 0;  // after an image descriptor: its LZW code size
};

int ReadInput(GifFileType* gif, GifByteType* buffer, int count) {
    auto* input = static_cast<CGifInput*>(gif->UserData);
    const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(count), input->file);
    if (got > 0) {
        input->lastByte = buffer[got - 1];
    }
    if (got < static_cast<std::size_t>(count)) {
        input->ranOut = true;
    }
    return static_cast<int>(got);
}

struct CGifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};
using GifHandle = std::unique_ptr<GifFileType, CGifCloser>;

GifHandle OpenGif(CGifInput& input, std::string& error) {
    int code = D_GIF_SUCCEEDED;
    GifHandle gif(DGifOpen(&input, ReadInput, &code));
    if (!gif) {
        error =
            input.ranOut ? kCutShort : std::string("not a GIF picture: ") + GifErrorString(code);
    }
    return gif;
}

std::string Failure(const CGifInput& input, const GifFileType& gif) {
    if (input.ranOut) {
        return kCutShort;
    }
    const char* text = GifErrorString(gif.Error);
    return std::string("the picture is damaged: ") + (text != nullptr ? text : "unknown error");
}

// Reads the records before the first frame, keeping the transparent colour it is given.
bool SkipToFirstFrame(GifFileType& gif, const CGifInput& input, int& transparent,
                      std::string& error) {
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(&gif, &record) == GIF_ERROR) {
            error = Failure(input, gif);
            return false;
        }
        if (record == IMAGE_DESC_RECORD_TYPE) {
            return true;
        }
        if (record != EXTENSION_RECORD_TYPE) {
            error = "the file holds no picture";
            return false;
        }
        int function = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(&gif, &function, &block) == GIF_ERROR) {
            error = Failure(input, gif);
            return false;
        }
        for (bool first = true; block != nullptr; first = false) {
            if (first && function == kGraphicsControl) {
                GraphicsControlBlock control{};
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                    transparent = control.TransparentColor;
                }
            }
            if (DGifGetExtensionNext(&gif, &block) == GIF_ERROR) {
                error = Failure(input, gif);
                return false;
            }
        }
    }
}

}  // namespace

bool ReadGifHeader(std::FILE* file, CPictureHeader& header, std::string& error) {
    CGifInput input;
    input.file = file;
    const GifHandle gif = OpenGif(input, error);
    if (!gif) {
        return false;
    }
    header = CPictureHeader{};
    header.width = gif->SWidth;
    header.height = gif->SHeight;
    return true;
}

bool DecodeGif(std::FILE* file, CPictureRows& rows, std::string& error) {
    CGifInput input;
    input.file = file;
    const GifHandle gif = OpenGif(input, error);
    if (!gif) {
        return false;
    }
    const std::int32_t width = gif->SWidth;
    const std::int32_t height = gif->SHeight;
    if (width != rows.Width() || height != rows.Height()) {
        error = "the file changed while it was read";
        return false;
    }
    int transparent = NO_TRANSPARENT_COLOR;
    if (!SkipToFirstFrame(*gif, input, transparent, error)) {
        return false;
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        error =
            !input.ranOut && input.lastByte > kMaxCodeSize
                ? "the picture is damaged: an LZW code size of " + std::to_string(input.lastByte)
                : Failure(input, *gif);
        return false;
    }
    if (input.lastByte < kMinCodeSize) {
        error = "the picture is damaged: an LZW code size of " + std::to_string(input.lastByte);
        return false;
    }
    const GifImageDesc& frame = gif->Image;
    if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0 ||
        frame.Width > width - frame.Left || frame.Height > height - frame.Top) {
        error = "the picture lies outside its screen";
        return false;
    }
    const ColorMapObject* colors = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (colors == nullptr || colors->ColorCount <= 0) {
        error = "the picture has no colours";
        return false;
    }

    std::vector<GifPixelType> line;
    try {
        line.resize(static_cast<std::size_t>(frame.Width));
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    const auto blank = [&rows, width](std::int32_t y) {
        if (rows.Wants(y)) {
            std::memset(rows.Row(y), 0xFF, 3 * static_cast<std::size_t>(width));
            rows.RowDone(y);
        }
    };
    for (std::int32_t y = 0; y < frame.Top; ++y) {
        blank(y);
    }
    for (std::int32_t y = frame.Top + frame.Height; y < height; ++y) {
        blank(y);
    }
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? kInterlaceStart[pass] : 0;
        const int step = frame.Interlace ? kInterlaceStep[pass] : 1;
        for (std::int32_t i = start; i < frame.Height; i += step) {
            if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) {
                error = Failure(input, *gif);
                return false;
            }
            // Every row is checked, wanted or not, so that whether the picture loads does not
            // depend on the rows asked for.
            for (const GifPixelType index : line) {
                if (index >= colors->ColorCount && index != transparent) {
                    error = kUnknownColour;
                    return false;
                }
            }
            const std::int32_t y = frame.Top + i;
            if (!rows.Wants(y)) {
                continue;
            }
            std::uint8_t* out = rows.Row(y);
            std::memset(out, 0xFF, 3 * static_cast<std::size_t>(width));
            for (std::int32_t x = 0; x < frame.Width; ++x) {
                const int index = line[static_cast<std::size_t>(x)];
                if (index == transparent) {
                    continue;
                }
                const GifColorType& c = colors->Colors[index];
                std::uint8_t* p = out + 3 * static_cast<std::ptrdiff_t>(frame.Left + x);
                p[0] = c.Blue;
                p[1] = c.Green;
                p[2] = c.Red;
            }
            rows.RowDone(y);
        }
    }
    return true;
}
