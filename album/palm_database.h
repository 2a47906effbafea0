#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Byte order of the file: every multi-byte field of a Palm database is big-endian.
std::uint16_t SwapBytes16(std::uint16_t value);
std::uint32_t SwapBytes32(std::uint32_t value);
// Writes `value` at `out` most significant byte first, whatever the host's order.
void StoreBigEndian16(std::uint8_t* out, std::uint16_t value);
void StoreBigEndian32(std::uint8_t* out, std::uint32_t value);
std::uint16_t LoadBigEndian16(const std::uint8_t* in);
std::uint32_t LoadBigEndian32(const std::uint8_t* in);

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

// One Palm OS record database (.pdb): header, record list and records, assembled in one block
// and written in one go.
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

    std::size_t RecordCount() const { return m_records.size(); }
    std::uint32_t RecordSize(std::size_t index) const { return m_records[index].second; }
    const std::uint8_t* RecordData(std::size_t index) const { return m_records[index].first.get(); }

    std::uint32_t GetFileSize() const;
    // Lays the whole file into `out`, which holds at least GetFileSize() bytes.
    bool BuildImage(std::uint8_t* out);
    // Writes the file through a temporary file beside it that replaces the target only once
    // it is complete on disk; on failure the target is left as it was and false is returned.
    [[nodiscard]] bool WriteToFile(const char* path);

    const std::array<std::uint8_t, kHeaderSize>& Header() const { return m_header; }

private:
    std::uint64_t FileSize64() const;

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

// How a finished file reaches the disk before it replaces its target. The programs install
// the platform's own (platform/file_sync); the default flushes the C library's buffers only.
using DiskFlush = bool (*)(std::FILE* file);
void SetDiskFlush(DiskFlush flush);

// Replaces the file at `path` with `size` bytes so that the path never shows a partial file:
// the bytes go into a fresh temporary file in the same folder, reach the disk, and are then
// renamed over the target. False on any failure; the temporary file is then removed.
[[nodiscard]] bool ReplaceFileContents(const std::string& path, const std::uint8_t* data,
                                       std::size_t size);
