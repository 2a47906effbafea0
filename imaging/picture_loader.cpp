#include "imaging/picture_loader.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <system_error>

namespace {

constexpr std::int64_t kBytesPerDecodedPixel = 4;

void RaiseReaderLimitOnce() {
    // Qt's default refuses photographs above about 32 megapixels.
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(CPictureLoader::kAllocationLimitMb); });
}

std::string SizeText(std::int64_t w, std::int64_t h) {
    return std::to_string(w) + " x " + std::to_string(h) + " pixels";
}

// Channel c over white with opacity a (0..255), rounded.
inline std::uint8_t OverWhite(std::uint32_t c, std::uint32_t a) {
    return static_cast<std::uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

}  // namespace

CPictureLoader::CPictureLoader() = default;
CPictureLoader::~CPictureLoader() = default;

bool CPictureLoader::Open(const std::string& path) {
    RaiseReaderLimitOnce();
    m_picture.reset();
    m_width = m_height = 0;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        m_error = "file not found";
        return false;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        m_error = "not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_error = "cannot be read";
        return false;
    }
    QByteArray bytes;
    {
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            m_error = "cannot be read";
            return false;
        }
        bytes = QByteArray(content.data(), static_cast<qsizetype>(content.size()));
    }
    if (bytes.isEmpty()) {
        m_error = "the file is empty";
        return false;
    }
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);  // upright, as the camera recorded it
    const QSize size = reader.size();
    if (!size.isValid()) {
        m_error = "not a picture this program can read (JPEG, GIF or BMP)";
        return false;
    }
    // Refuse oversized pictures from the header alone, before anything large is allocated.
    if (size.width() > kMaxSide || size.height() > kMaxSide) {
        m_error = "the picture is " + SizeText(size.width(), size.height()) +
                  "; at most 32767 pixels a side can be loaded";
        return false;
    }
    const std::int64_t decodedBytes = std::int64_t{size.width()} * size.height() * kBytesPerDecodedPixel;
    if (decodedBytes > std::int64_t{kAllocationLimitMb} * 1024 * 1024) {
        m_error = "the picture is " + SizeText(size.width(), size.height()) +
                  ", more than the decoder's memory limit of " + std::to_string(kAllocationLimitMb) +
                  " MB allows";
        return false;
    }

    auto picture = std::make_unique<QImage>();
    if (!reader.read(picture.get()) || picture->isNull()) {
        m_error = "the picture cannot be decoded: " + reader.errorString().toStdString();
        return false;
    }
    if (picture->width() > kMaxSide || picture->height() > kMaxSide) {
        m_error = "the picture is " + SizeText(picture->width(), picture->height()) +
                  "; at most 32767 pixels a side can be loaded";
        return false;
    }
    m_width = picture->width();
    m_height = picture->height();
    m_picture = std::move(picture);
    m_error.clear();
    return true;
}

bool CPictureLoader::RenderToDib(CDib& dib) {
    if (!m_picture || dib.IsCreated()) {
        return false;
    }
    // The decoded pixels become the bitmap in their own memory: each 32-bit row is put on
    // white, packed into blue, green, red and moved up in place. A 24-bit row is never longer
    // than its 32-bit source, so rows only ever move towards the start of the buffer.
    auto picture = std::move(m_picture);
    const bool alpha = picture->hasAlphaChannel();
    const QImage::Format wanted = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (picture->format() != wanted) {
        picture->convertTo(wanted);
        if (picture->isNull()) {
            return false;
        }
    }
    const int width = picture->width();
    const int height = picture->height();
    const std::int32_t stride = CDib::Stride(24, width);
    std::uint8_t* base = picture->bits();  // detaches: the buffer is ours alone
    if (base == nullptr) {
        return false;
    }
    const qsizetype sourceStride = picture->bytesPerLine();
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(base + sourceStride * y);
        std::uint8_t* out = base + static_cast<std::ptrdiff_t>(stride) * y;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = in[x];  // read before the packed row can overwrite it
            std::uint32_t r = (p >> 16) & 0xFF;
            std::uint32_t g = (p >> 8) & 0xFF;
            std::uint32_t b = p & 0xFF;
            if (alpha) {
                const std::uint32_t a = p >> 24;
                r = OverWhite(r, a);
                g = OverWhite(g, a);
                b = OverWhite(b, a);
            }
            out[3 * x + 0] = static_cast<std::uint8_t>(b);
            out[3 * x + 1] = static_cast<std::uint8_t>(g);
            out[3 * x + 2] = static_cast<std::uint8_t>(r);
        }
        for (std::int32_t pad = 3 * width; pad < stride; ++pad) {
            out[pad] = 0;
        }
    }
    std::shared_ptr<QImage> keeper(picture.release());
    return dib.AdoptTopDown(width, height, 24, base, stride, keeper);
}

CPictureReading PictureReading() {
    CPictureReading reading;
    reading.load = [](const std::string& path, const RowsWanted&, CDib& picture, std::string& reason) {
        CPictureLoader loader;
        if (!loader.Open(path)) {
            reason = loader.Error();
            return false;
        }
        if (!loader.RenderToDib(picture)) {
            reason = "out of memory";
            return false;
        }
        return true;
    };
    return reading;
}
