#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/byte_order.h"

// Byte order of the file: every multi-byte field of a Palm database is big-endian.
std::uint16_t SwapBytes16(std::uint16_t value);
std::uint32_t SwapBytes32(std::uint32_t value);

// Holder of one block of uncleared memory; the block is released with the holder. A holder
// that already holds a block refuses a second one.
class CGlobalBuffer {
public:
    CGlobalBuffer() = default;
    explicit CGlobalBuffer(std::uint32_t size) { (void)Allocate(size); }
    CGlobalBuffer(const CGlobalBuffer&) = delete;
    CGlobalBuffer& operator=(const CGlobalBuffer&) = delete;

    [[nodiscard]] bool Allocate(std::uint32_t size);
    std::uint8_t* Data() { return m_block.get(); }
    const std::uint8_t* Data() const { return m_block.get(); }
    std::uint32_t Size() const { return m_size; }
    bool Holds() const { return m_block != nullptr; }

private:
    std::unique_ptr<std::uint8_t[]> m_block;
    std::uint32_t m_size = 0;
};

// One Palm OS record database (.pdb): header, record list and records. The file is written
// record by record, so that each record's bytes are held once.
class CPalmDatabase {
public:
    static constexpr std::size_t kHeaderSize = 78;
    static constexpr std::size_t kNameSize = 32;
    static constexpr std::size_t kRecordEntrySize = 8;
    static constexpr std::uint32_t kMaxRecords = 65535;  // the record count is a 16-bit field
    static constexpr std::uint32_t kSecondsFrom1904To1970 = 2082844800u;

    CPalmDatabase();
    virtual ~CPalmDatabase() = default;
    CPalmDatabase(const CPalmDatabase&) = delete;
    CPalmDatabase& operator=(const CPalmDatabase&) = delete;

    void SetName(const char* name);
    // The code whose big-endian bytes are the four characters, e.g. 'TVLI'.
    void SetType(std::uint32_t code);
    void SetCreator(std::uint32_t code);

    // Appends a private copy of the bytes. False, and nothing appended, when memory runs out
    // or the list already holds as many records as the file can count.
    [[nodiscard]] bool AddRecord(const std::uint8_t* data, std::uint32_t size);

    // Moves every record of `other` to the end of this list, in their order, without copying
    // them; `other` is left empty. False, and nothing moved, when the list would grow past
    // what the file can count or memory runs out.
    [[nodiscard]] bool AdoptRecords(CPalmDatabase& other);

    std::size_t RecordCount() const { return m_records.size(); }
    std::uint32_t RecordSize(std::size_t index) const { return m_records[index].second; }
    const std::uint8_t* RecordData(std::size_t index) const { return m_records[index].first.get(); }

    std::uint32_t GetFileSize() const;
    // The file's size without the 32-bit cut of GetFileSize().
    std::uint64_t FileSize64() const;
    // Lays the whole file into `out`, which holds at least GetFileSize() bytes.
    bool BuildImage(std::uint8_t* out);
    // Writes the file so that the path never shows a partial one: the bytes go to a temporary
    // file that replaces the target only once it is complete on disk. On failure, or when
    // `cancel` is set before the last record is written, the target is left as it was and
    // false is returned, with `reason` (when given) saying why: empty for a cancel.
    [[nodiscard]] bool WriteToFile(const char* path, const std::atomic<bool>* cancel = nullptr,
                                   std::string* reason = nullptr);

    const std::array<std::uint8_t, kHeaderSize>& Header() const { return m_header; }

private:
    // Sets the record count and the unique-id seed, and lays the header and the record list
    // (with its filler) into `out`, which holds 80 + 8N bytes.
    void BuildHeaderAndList(std::uint8_t* out);

    std::vector<std::pair<std::unique_ptr<std::uint8_t[]>, std::uint32_t>> m_records;
    std::array<std::uint8_t, kHeaderSize> m_header{};
};

// Four characters as the code SetType and SetCreator take: "TVLI" -> 0x54564C49.
constexpr std::uint32_t FourCharCode(const char (&text)[5]) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
}
