#include "decode/picture_loader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "album/file_input.h"
#include "decode/bmp_reader.h"
#include "decode/gif_decoder.h"
#include "decode/heif_decoder.h"
#include "decode/jpeg_decoder.h"
#include "decode/png_decoder.h"
#include "decode/webp_decoder.h"
#include "imaging/picture_formats.h"

namespace {

// `count` bytes from `at` on; fewer, or none, where the bytes end first (a file cut short).
std::string_view Part(std::string_view bytes, std::size_t at, std::size_t count) {
    return at <= bytes.size() ? bytes.substr(at, count) : std::string_view();
}

constexpr std::int64_t kBytesPerDecodedPixel = 4;
constexpr std::size_t kSignatureBytes = 12;

// The brands a HEIF file names first when it holds HEVC pictures, or pictures of any coding.
constexpr std::string_view kHeifBrands[] = {"heic", "heix", "heim", "heis", "hevc",
                                            "hevx", "hevm", "hevs", "mif1", "msf1"};

struct CFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, CFileCloser>;

// The kind of a picture that is refused, named so that a renamed file says what it is; null
// when the file is no picture known here.
const char* ForeignKind(std::string_view start) {
    const auto is = [start](std::string_view signature) {
        return start.substr(0, signature.size()) == signature;
    };
    const bool pnm = start.size() > 2 && start[0] == 'P' && start[1] >= '1' && start[1] <= '7' &&
                     start[2] != '\0' && std::strchr(" \t\r\n", start[2]) != nullptr;
    if (is({"II*\0", 4}) || is({"MM\0*", 4})) {
        return "TIFF";
    }
    // Icons and cursors count their pictures next; a TGA starts the same way, with a zero.
    const bool pictures = start.size() > 5 && (start[4] != '\0' || start[5] != '\0');
    if (is({"\0\0\1\0", 4}) && pictures) {
        return "ICO";
    }
    if (is({"\0\0\2\0", 4}) && pictures) {
        return "CUR";
    }
    if (is("/* XPM */") || is("! XPM2")) {
        return "XPM";
    }
    if (Part(start, 4, 4) == "ftyp" &&
        (Part(start, 8, 4) == "avif" || Part(start, 8, 4) == "avis")) {
        return "AVIF";
    }
    if (pnm) {
        constexpr const char* kPnmKinds[] = {"PBM", "PGM", "PPM", "PBM", "PGM", "PPM", "PAM"};
        return kPnmKinds[start[1] - '1'];
    }
    return nullptr;
}

std::string SizeText(std::int64_t w, std::int64_t h) {
    return std::to_string(w) + " x " + std::to_string(h) + " pixels";
}

bool StartsWith(std::string_view bytes, std::string_view signature) {
    return bytes.substr(0, signature.size()) == signature;
}

// A HEIF file starts with its file-type box, which names the file's main brand.
bool IsHeif(std::string_view start) {
    if (start.size() < kSignatureBytes || start.substr(4, 4) != "ftyp") {
        return false;
    }
    const std::string_view brand = start.substr(8, 4);
    for (const std::string_view heif : kHeifBrands) {
        if (brand == heif) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool CPictureLoader::Open(const std::string& path) {
    m_format = Format::None;
    m_header = CPictureHeader{};
    m_path = path;
    OpenProblem problem = OpenProblem::None;
    std::uint64_t fileSize = 0;
    const FileHandle file(OpenRegularFileStream(path, problem, fileSize));
    if (!file) {
        m_error = problem == OpenProblem::NotFound     ? "file not found"
                  : problem == OpenProblem::NotRegular ? "not a file"
                                                       : "cannot be read";
        return false;
    }
    if (fileSize == 0) {
        m_error = "the file is empty";
        return false;
    }
    char start[kSignatureBytes] = {};
    const std::string_view signature(start, std::fread(start, 1, sizeof start, file.get()));
    Format format = Format::None;
    if (StartsWith(signature, "\xFF\xD8\xFF")) {
        format = Format::Jpeg;
    } else if (StartsWith(signature, "GIF87a") || StartsWith(signature, "GIF89a")) {
        format = Format::Gif;
    } else if (StartsWith(signature, "BM")) {
        format = Format::Bmp;
    } else if (StartsWith(signature, "\x89PNG\r\n\x1A\n")) {
        format = Format::Png;
    } else if (StartsWith(signature, "RIFF") && Part(signature, 8, 4) == "WEBP") {
        format = Format::Webp;
    } else if (IsHeif(signature)) {
        format = Format::Heif;
    } else {
        const char* kind = ForeignKind(signature);
        m_error = kind == nullptr
                      ? "not a picture this program can read (" + PictureFormatNames("or") + ")"
                      : std::string("the picture is ") + kind + "; " + FormatsRead();
        return false;
    }
    // libwebp decodes from the whole file in memory.
    if (format == Format::Webp && fileSize > std::uint64_t{kAllocationLimitMb} * 1024 * 1024) {
        m_error = "the file is " + std::to_string(fileSize >> 20) +
                  " MB, more than the decoder's memory limit of " +
                  std::to_string(kAllocationLimitMb) + " MB allows";
        return false;
    }
    std::rewind(file.get());
    CPictureHeader header;
    bool read = false;
    switch (format) {
        case Format::Jpeg:
            read = ReadJpegHeader(file.get(), header, m_error);
            break;
        case Format::Gif:
            read = ReadGifHeader(file.get(), header, m_error);
            break;
        case Format::Bmp:
            read = ReadBmpHeader(file.get(), header, m_error);
            break;
        case Format::Png:
            read = ReadPngHeader(file.get(), header, m_error);
            break;
        case Format::Webp:
            read = ReadWebpHeader(file.get(), fileSize, header, m_error);
            break;
        case Format::Heif:
            read = ReadHeifHeader(file.get(), fileSize, header, m_error);
            break;
        case Format::None:
            break;
    }
    if (!read) {
        return false;
    }
    if (header.width <= 0 || header.height <= 0) {
        m_error = "the picture has no size";
        return false;
    }
    // Refuse oversized pictures from the header alone, before anything large is allocated.
    if (header.width > kMaxSide || header.height > kMaxSide) {
        m_error = "the picture is " + SizeText(header.UprightWidth(), header.UprightHeight()) +
                  "; at most 32767 pixels a side can be loaded";
        return false;
    }
    const std::int64_t decodedBytes =
        std::int64_t{header.width} * header.height * kBytesPerDecodedPixel;
    if (decodedBytes > std::int64_t{kAllocationLimitMb} * 1024 * 1024) {
        m_error = "the picture is " + SizeText(header.UprightWidth(), header.UprightHeight()) +
                  ", more than the decoder's memory limit of " +
                  std::to_string(kAllocationLimitMb) + " MB allows";
        return false;
    }
    m_format = format;
    m_header = header;
    m_error.clear();
    return true;
}

bool CPictureLoader::RenderToDib(CDib& dib) {
    return RenderToDib(dib, {});
}

bool CPictureLoader::RenderToDib(CDib& dib, const std::vector<bool>& rowsFromTop) {
    if (m_format == Format::None || dib.IsCreated()) {
        return false;
    }
    if (!rowsFromTop.empty() && rowsFromTop.size() != static_cast<std::size_t>(Height())) {
        m_error = "asked for rows of a picture of another size";
        return false;
    }
    OpenProblem problem = OpenProblem::None;
    std::uint64_t fileSize = 0;
    const FileHandle file(OpenRegularFileStream(m_path, problem, fileSize));
    if (!file) {
        m_error = problem == OpenProblem::NotRegular ? "not a file" : "cannot be read";
        return false;
    }
    CPictureRows rows;
    if (!rows.Allocate(m_header, rowsFromTop)) {
        m_error = "out of memory";
        return false;
    }
    bool decoded = false;
    switch (m_format) {
        case Format::Jpeg:
            decoded = DecodeJpeg(file.get(), rows, m_error);
            break;
        case Format::Gif:
            decoded = DecodeGif(file.get(), rows, m_error);
            break;
        case Format::Bmp:
            decoded = DecodeBmp(file.get(), fileSize, rows, m_error);
            break;
        case Format::Png:
            decoded = DecodePng(file.get(), rows, m_error);
            break;
        case Format::Webp:
            decoded = DecodeWebp(file.get(), fileSize, rows, m_error);
            break;
        case Format::Heif:
            decoded = DecodeHeif(file.get(), fileSize, rows, m_error);
            break;
        case Format::None:
            break;
    }
    if (!decoded) {
        return false;
    }
    if (!rows.MoveTo(dib)) {
        m_error = "out of memory";
        return false;
    }
    return true;
}

std::string PictureProblem(const std::string& path, CDib* decoded) {
    CPictureLoader loader;
    CDib local;
    CDib& picture = decoded != nullptr ? *decoded : local;
    picture.Reset();
    if (!loader.Open(path) || !loader.RenderToDib(picture)) {
        picture.Reset();
        return loader.Error().empty() ? "the picture cannot be read" : loader.Error();
    }
    return {};
}

CPictureReading PictureReading() {
    CPictureReading reading;
    reading.load = [](const std::string& path, const RowsWanted& rows, CDib& picture,
                      std::string& reason) {
        CPictureLoader loader;
        if (!loader.Open(path)) {
            reason = loader.Error();
            return false;
        }
        const std::vector<bool> wanted =
            rows ? rows(loader.Width(), loader.Height()) : std::vector<bool>();
        if (!loader.RenderToDib(picture, wanted)) {
            reason = loader.Error();
            return false;
        }
        return true;
    };
    reading.readSize = [](const std::string& path, std::int32_t& width, std::int32_t& height) {
        CPictureLoader loader;
        if (!loader.Open(path)) {
            return false;
        }
        width = loader.Width();
        height = loader.Height();
        return true;
    };
    return reading;
}
