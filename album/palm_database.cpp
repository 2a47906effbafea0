#include "album/palm_database.h"

#include <cstring>
#include <new>

#include "album/clock.h"
#include "album/crt_random.h"
#include "album/file_output.h"

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

}  // namespace

std::uint16_t SwapBytes16(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

std::uint32_t SwapBytes32(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
           (value << 24);
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

void CPalmDatabase::SetType(std::uint32_t code) {
    StoreBigEndian32(&m_header[kType], code);
}

void CPalmDatabase::SetCreator(std::uint32_t code) {
    StoreBigEndian32(&m_header[kCreator], code);
}

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
    std::uint64_t size =
        ((kHeaderSize + kRecordEntrySize * m_records.size()) & ~std::uint64_t{3}) + 4;
    for (const auto& record : m_records) {
        size += record.second;
    }
    return size;
}

bool CPalmDatabase::AdoptRecords(CPalmDatabase& other) {
    if (m_records.size() + other.m_records.size() > kMaxRecords) {
        return false;
    }
    try {
        m_records.reserve(m_records.size() + other.m_records.size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (auto& record : other.m_records) {
        m_records.push_back(std::move(record));
    }
    other.m_records.clear();
    return true;
}

std::uint32_t CPalmDatabase::GetFileSize() const {
    return static_cast<std::uint32_t>(FileSize64());
}

void CPalmDatabase::BuildHeaderAndList(std::uint8_t* out) {
    const auto count = static_cast<std::uint32_t>(m_records.size());
    StoreBigEndian16(&m_header[kRecordCount], static_cast<std::uint16_t>(count));

    CrtSrand(static_cast<std::uint32_t>(CurrentTime()));
    const auto seed = static_cast<std::uint32_t>(CrtRand());
    StoreBigEndian32(&m_header[kUniqueIdSeed], seed);
    const std::uint32_t uniqueBase = ((seed + 1) * 512) & kUniqueIdMask;

    std::memcpy(out, m_header.data(), kHeaderSize);
    const std::uint32_t listEnd =
        static_cast<std::uint32_t>(kHeaderSize + kRecordEntrySize * count);
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
}

bool CPalmDatabase::BuildImage(std::uint8_t* out) {
    BuildHeaderAndList(out);
    std::uint8_t* pos = out + kHeaderSize + kRecordEntrySize * m_records.size() + 2;
    for (const auto& record : m_records) {
        if (record.second != 0) {
            std::memcpy(pos, record.first.get(), record.second);
        }
        pos += record.second;
    }
    return true;
}

bool CPalmDatabase::WriteToFile(const char* path, const std::atomic<bool>* cancel,
                                std::string* reason) {
    std::string why;
    const auto fail = [&](std::string text) {
        if (reason != nullptr) {
            *reason = std::move(text);
        }
        return false;
    };
    const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
    if (path == nullptr || *path == '\0') {
        return fail("no file name");
    }
    if (FileSize64() > 0xFFFFFFFFu) {
        return fail("too large for a Palm database");
    }
    const std::size_t listSize = kHeaderSize + kRecordEntrySize * m_records.size() + 2;
    CGlobalBuffer list(static_cast<std::uint32_t>(listSize));
    if (!list.Holds()) {
        return fail("out of memory");
    }
    BuildHeaderAndList(list.Data());
    std::unique_ptr<CFileOutput> output = OpenFileOutput(path, why);
    if (!output) {
        return fail(why);
    }
    if (!output->Write(list.Data(), listSize)) {
        return fail(output->Error());
    }
    for (const auto& record : m_records) {
        if (cancelled()) {
            return fail({});
        }
        if (!output->Write(record.first.get(), record.second)) {
            return fail(output->Error());
        }
    }
    if (cancelled()) {
        return fail({});
    }
    return output->Commit() || fail(output->Error());
}
