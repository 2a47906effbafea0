#include "album/palm_database.h"

#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "album/clock.h"
#include "album/crt_random.h"

namespace {

// Header field positions.
constexpr std::size_t kCreationDate = 36;
constexpr std::size_t kModificationDate = 40;
constexpr std::size_t kBackupDate = 44;
constexpr std::size_t kType = 60;
constexpr std::size_t kCreator = 64;
constexpr std::size_t kUniqueIdSeed = 68;
constexpr std::size_t kRecordCount = 76;
constexpr std::uint32_t kUniqueIdMask = 0xFFFFFF;

bool FlushBuffers(std::FILE* file) { return std::fflush(file) == 0; }

std::atomic<DiskFlush> g_diskFlush{&FlushBuffers};

}  // namespace

void SetDiskFlush(DiskFlush flush) { g_diskFlush.store(flush != nullptr ? flush : &FlushBuffers); }

std::uint16_t SwapBytes16(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

std::uint32_t SwapBytes32(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
           (value << 24);
}

void StoreBigEndian16(std::uint8_t* out, std::uint16_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        value = SwapBytes16(value);
    }
    std::memcpy(out, &value, sizeof value);
}

void StoreBigEndian32(std::uint8_t* out, std::uint32_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        value = SwapBytes32(value);
    }
    std::memcpy(out, &value, sizeof value);
}

std::uint16_t LoadBigEndian16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>((in[0] << 8) | in[1]);
}

std::uint32_t LoadBigEndian32(const std::uint8_t* in) {
    return (static_cast<std::uint32_t>(in[0]) << 24) | (static_cast<std::uint32_t>(in[1]) << 16) |
           (static_cast<std::uint32_t>(in[2]) << 8) | in[3];
}

bool CGlobalBuffer::Allocate(std::uint32_t size) {
    if (m_block) {
        return false;
    }
    // A zero-sized request still yields a block, as the system allocator does.
    m_block.reset(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]);
    m_size = m_block ? size : 0;
    return m_block != nullptr;
}

CPalmDatabase::CPalmDatabase() {
    // The dates are fixed when the database is made; the field is 32 bits and wraps in 2040.
    const auto date = static_cast<std::uint32_t>(CurrentTime() + kSecondsFrom1904To1970);
    StoreBigEndian32(&m_header[kCreationDate], date);
    StoreBigEndian32(&m_header[kModificationDate], date);
    StoreBigEndian32(&m_header[kBackupDate], date);
}

void CPalmDatabase::SetName(const char* name) {
    std::memset(m_header.data(), 0, kNameSize);
    if (name != nullptr) {
        std::strncpy(reinterpret_cast<char*>(m_header.data()), name, kNameSize - 1);
    }
}

void CPalmDatabase::SetType(std::uint32_t code) { StoreBigEndian32(&m_header[kType], code); }

void CPalmDatabase::SetCreator(std::uint32_t code) { StoreBigEndian32(&m_header[kCreator], code); }

bool CPalmDatabase::AddRecord(const std::uint8_t* data, std::uint32_t size) {
    if (m_records.size() >= kMaxRecords || (data == nullptr && size != 0)) {
        return false;
    }
    std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]);
    if (!copy) {
        return false;
    }
    if (size != 0) {
        std::memcpy(copy.get(), data, size);
    }
    try {
        m_records.emplace_back(std::move(copy), size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::uint64_t CPalmDatabase::FileSize64() const {
    // (78 + 8N) rounded down to a multiple of 4, plus 4: always 80 + 8N.
    std::uint64_t size = ((kHeaderSize + kRecordEntrySize * m_records.size()) & ~std::uint64_t{3}) + 4;
    for (const auto& record : m_records) {
        size += record.second;
    }
    return size;
}

std::uint32_t CPalmDatabase::GetFileSize() const { return static_cast<std::uint32_t>(FileSize64()); }

bool CPalmDatabase::BuildImage(std::uint8_t* out) {
    const auto count = static_cast<std::uint32_t>(m_records.size());
    StoreBigEndian16(&m_header[kRecordCount], static_cast<std::uint16_t>(count));

    CrtSrand(static_cast<std::uint32_t>(CurrentTime()));
    const auto r = static_cast<std::uint32_t>(CrtRand());
    StoreBigEndian32(&m_header[kUniqueIdSeed], r);
    const std::uint32_t uniqueBase = ((r + 1) * 512) & kUniqueIdMask;

    std::memcpy(out, m_header.data(), kHeaderSize);
    const std::uint32_t listEnd = static_cast<std::uint32_t>(kHeaderSize + kRecordEntrySize * count);
    std::uint32_t offset = listEnd + 2;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t* entry = out + kHeaderSize + kRecordEntrySize * i;
        StoreBigEndian32(entry, offset);
        entry[4] = 0;  // attributes
        const std::uint32_t uniqueId = (uniqueBase + i + 1) & kUniqueIdMask;
        entry[5] = static_cast<std::uint8_t>(uniqueId >> 16);
        entry[6] = static_cast<std::uint8_t>(uniqueId >> 8);
        entry[7] = static_cast<std::uint8_t>(uniqueId);
        offset += m_records[i].second;
    }
    out[listEnd] = 0;
    out[listEnd + 1] = 0;
    std::uint8_t* pos = out + listEnd + 2;
    for (const auto& record : m_records) {
        if (record.second != 0) {
            std::memcpy(pos, record.first.get(), record.second);
        }
        pos += record.second;
    }
    return true;
}

bool CPalmDatabase::WriteToFile(const char* path) {
    if (path == nullptr || *path == '\0') {
        return false;
    }
    const std::uint64_t size = FileSize64();
    if (size > 0xFFFFFFFFu) {
        return false;
    }
    CGlobalBuffer image(static_cast<std::uint32_t>(size));
    if (!image.Holds()) {
        return false;
    }
    BuildImage(image.Data());
    return ReplaceFileContents(path, image.Data(), image.Size());
}

bool ReplaceFileContents(const std::string& path, const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(path);
    if (target.filename().empty()) {
        return false;
    }
    // Through a link, the file it points at is replaced, not the link.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
        target = resolved;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!fs::is_directory(folder, ec)) {
        return false;
    }

    // A fresh name in the target's folder, so that the final rename never crosses file systems.
    fs::path temporary;
    std::FILE* file = nullptr;
    static std::uint32_t counter = 0;
    const auto salt = static_cast<std::uint32_t>(CurrentTime()) ^
                      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&temporary));
    for (int attempt = 0; attempt < 64 && file == nullptr; ++attempt) {
        // Short, so that a target whose name is near the length limit still has a neighbour.
        char name[40];
        std::snprintf(name, sizeof name, ".tvl-%08x-%u.tmp", salt, ++counter);
        temporary = folder / name;
        file = std::fopen(temporary.string().c_str(), "wbx");  // exclusive: never reuse a file
        if (file == nullptr && !fs::exists(temporary, ec)) {
            return false;  // the folder refuses new files
        }
    }
    if (file == nullptr) {
        return false;
    }

    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    ok = g_diskFlush.load()(file) && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok) {
        // Keep the permissions of a file that is being replaced.
        const fs::file_status existing = fs::status(target, ec);
        if (!ec && fs::is_regular_file(existing)) {
            fs::permissions(temporary, existing.permissions(), ec);
        }
        ec.clear();
        fs::rename(temporary, target, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temporary, ec);
    }
    return ok;
}
