#include "platform/system_path.h"

namespace {

constexpr char16_t kEscapeBase = 0xDC80;  // + byte 0x80..0xFF

// The length of the valid UTF-8 sequence at `at`, or 0 when the byte there starts none.
std::size_t ValidSequence(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return overlong || surrogate || value > 0x10FFFF ? 0 : length;
}

}  // namespace

QString PathFromSystem(const std::string& bytes) {
    QString path;
    path.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = ValidSequence(bytes, at);
        if (length == 0) {
            path.append(QChar(
                static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at]) - 0x80)));
            ++at;
            continue;
        }
        path.append(QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length)));
        at += length;
    }
    return path;
}

std::string PathToSystem(const QString& path) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(path.size()));
    qsizetype runStart = 0;
    const auto flush = [&](qsizetype end) {
        if (end > runStart) {
            bytes += path.mid(runStart, end - runStart).toStdString();
        }
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path.at(i).unicode();
        const bool escaped = unit >= kEscapeBase && unit <= kEscapeBase + 0x7F &&
                             !(i > 0 && path.at(i - 1).isHighSurrogate());
        if (escaped) {
            flush(i);
            bytes += static_cast<char>(unit - kEscapeBase + 0x80);
            runStart = i + 1;
        }
    }
    flush(path.size());
    return bytes;
}
