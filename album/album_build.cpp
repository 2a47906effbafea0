#include "album/album_build.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "album/album_database.h"
#include "album/palm_database.h"
#include "album/picture_preparation.h"
#include "album/prepared_album.h"

using namespace album_layout;

namespace {

// How often a waiting build looks at its cancel flag.
constexpr std::chrono::milliseconds kCancelPoll{50};

constexpr std::int16_t ToSide(std::int32_t side) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(side, 1, kMaxPictureSide));
}

// The size of a picture once fitted and, with Crop, cut to its window.
std::pair<std::int32_t, std::int32_t> StoredSize(const CAlbumImage& entry, std::int32_t width,
                                                 std::int32_t height) {
    std::int16_t w = ToSide(width);
    std::int16_t h = ToSide(height);
    entry.FitToSizeLimit(w, h);
    if (entry.m_crop == 0) {
        return {w, h};
    }
    return {std::min<std::int32_t>(w, kScreenSide), std::min<std::int32_t>(h, kScreenSide)};
}

// The rows, top first, that preparing the entry reads of a picture of that natural size, and
// those the album icon reads when the picture gives it.
std::vector<bool> WantedRows(const CAlbumImage& entry, bool givesIcon, std::int32_t width,
                             std::int32_t height) {
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        return {};  // the loader refuses such a picture; nothing to spare
    }
    std::vector<bool> storageRows(static_cast<std::size_t>(height), false);
    std::int16_t w = ToSide(width);
    std::int16_t h = ToSide(height);
    entry.FitToSizeLimit(w, h);
    MarkResampledRows(height, 0, height, h, storageRows);
    if (givesIcon) {
        const CIconSquare square = IconSquare(width, height);
        MarkResampledRows(height, square.y, square.side, kIconSide, storageRows);
    }
    return {storageRows.rbegin(), storageRows.rend()};  // storage row 0 is the bottom row
}

// One picture on its way into the file: prepared, then turned into its records at once, so
// that only the records stay in memory.
struct CPreparedEntry {
    std::unique_ptr<CPreparedPicture> picture;  // its bitmap released once the records exist
    std::unique_ptr<CPalmDatabase> records;     // header record and data records
    std::string reason;                         // why it failed; empty when it did not
};

CPreparedEntry PrepareEntry(const CAlbumImage& source, bool givesIcon, CDib* icon,
                            const CPictureReading& reading, bool centerCrop) {
    CPreparedEntry prepared;
    try {
        CDib loaded;
        const RowsWanted rows = [&source, givesIcon](std::int32_t width, std::int32_t height) {
            return WantedRows(source, givesIcon, width, height);
        };
        if (!reading.load(source.m_sourcePath, rows, loaded, prepared.reason)) {
            if (prepared.reason.empty()) {
                prepared.reason = "the picture cannot be read";
            }
            return prepared;
        }
        CAlbumImage entry = source;
        if (centerCrop) {
            CenterCropWindow(entry, loaded.Width(), loaded.Height());
        }
        prepared.picture = PreparePicture(entry, loaded);
        if (!prepared.picture || (givesIcon && !MakeIconFromPicture(loaded, *icon))) {
            prepared.reason = "out of memory";
            return prepared;
        }
        loaded.Reset();
        prepared.records = std::make_unique<CPalmDatabase>();
        if (!prepared.picture->WriteRecords(*prepared.records)) {
            prepared.reason = "out of memory";
            return prepared;
        }
        prepared.picture->m_bitmap.Reset();
    } catch (const std::bad_alloc&) {
        prepared.reason = "out of memory";
    }
    if (!prepared.reason.empty()) {
        prepared.picture.reset();
        prepared.records.reset();
    }
    return prepared;
}

bool Cancelled(const CAlbumBuildOptions& options) {
    return options.cancel != nullptr && options.cancel->load();
}

CBuildResult Outcome(BuildOutcome outcome, std::string reason = {}) {
    CBuildResult result;
    result.outcome = outcome;
    result.reason = std::move(reason);
    return result;
}

// Asks whether to try a picture that failed again; the build's result when it is given up or
// cancelled instead.
std::optional<CBuildResult> GiveUp(const CAlbumBuildOptions& options,
                                   const CPictureFailure& failure) {
    if (!options.retry || !options.retry(failure)) {
        CBuildResult result = Outcome(BuildOutcome::PictureFailed);
        result.picture = failure;
        return result;
    }
    if (Cancelled(options)) {
        return Outcome(BuildOutcome::Cancelled);
    }
    return std::nullopt;
}

// What the album breaks of the file's limits, before any work; empty when nothing.
std::string CheckAlbum(const CAlbum& album) {
    if (album.Count() > kMaxPictures) {
        return std::to_string(album.Count()) + " pictures; an album holds at most " +
               std::to_string(kMaxPictures);
    }
    for (std::size_t i = 0; i < album.Count(); ++i) {
        const CAlbumImage& entry = *album.At(i);
        if (!IsStoredDepth(entry.m_colorDepth) || entry.m_sizeLimitWidth < 1 ||
            entry.m_sizeLimitHeight < 1) {
            return "picture " + std::to_string(i + 1) + " has settings an album cannot store";
        }
    }
    return {};
}

std::string MegabytesText(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// The pictures prepared on worker threads, handed over in album order.
class CPreparationRun {
public:
    CPreparationRun(const CAlbum& album, const CPictureReading& reading,
                    const CAlbumBuildOptions& options, std::size_t iconEntry, CDib& icon)
        : m_album(album),
          m_reading(reading),
          m_options(options),
          m_iconEntry(iconEntry),
          m_icon(icon),
          m_slots(album.Count()),
          m_ready(album.Count(), false) {}

    ~CPreparationRun() { Stop(); }
    CPreparationRun(const CPreparationRun&) = delete;
    CPreparationRun& operator=(const CPreparationRun&) = delete;

    void Start(int threads) {
        for (int t = 0; t < threads; ++t) {
            m_workers.emplace_back([this] { Work(); });
        }
    }

    // Waits for picture `index`; false when the build was cancelled meanwhile.
    bool WaitFor(std::size_t index) {
        std::unique_lock lock(m_mutex);
        while (!m_ready[index]) {
            if (Cancelled(m_options)) {
                return false;
            }
            m_changed.wait_for(lock, kCancelPoll);
        }
        return true;
    }

    CPreparedEntry& Slot(std::size_t index) { return m_slots[index]; }

    // Prepares picture `index` again, on this thread.
    void Retry(std::size_t index) { m_slots[index] = Prepare(index); }

    void Stop() {
        m_stop.store(true);
        for (auto& worker : m_workers) {
            worker.join();
        }
        m_workers.clear();
    }

private:
    CPreparedEntry Prepare(std::size_t index) {
        const bool givesIcon = index == m_iconEntry;
        return PrepareEntry(*m_album.At(index), givesIcon, givesIcon ? &m_icon : nullptr, m_reading,
                            m_options.centerCropWindows);
    }

    void Work() {
        for (;;) {
            const std::size_t index = m_next.fetch_add(1);
            if (index >= m_slots.size() || m_stop.load() || Cancelled(m_options)) {
                return;
            }
            CPreparedEntry prepared = Prepare(index);
            std::lock_guard lock(m_mutex);
            m_slots[index] = std::move(prepared);
            m_ready[index] = true;
            m_changed.notify_all();
        }
    }

    const CAlbum& m_album;
    const CPictureReading& m_reading;
    const CAlbumBuildOptions& m_options;
    const std::size_t m_iconEntry;
    CDib& m_icon;
    std::vector<CPreparedEntry> m_slots;
    std::vector<bool> m_ready;
    std::atomic<std::size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::thread> m_workers;
};

// Makes the icon from a picture file that is not one of the album's pictures.
bool LoadIcon(const std::string& path, const CPictureReading& reading, CDib& icon,
              std::string& reason) {
    CDib loaded;
    const RowsWanted rows = [](std::int32_t width, std::int32_t height) {
        std::vector<bool> storageRows(static_cast<std::size_t>(std::max(height, 0)), false);
        const CIconSquare square = IconSquare(width, height);
        MarkResampledRows(height, square.y, square.side, kIconSide, storageRows);
        return std::vector<bool>(storageRows.rbegin(), storageRows.rend());
    };
    if (!reading.load(path, rows, loaded, reason)) {
        return false;
    }
    if (!MakeIconFromPicture(loaded, icon)) {
        reason = "out of memory";
        return false;
    }
    return true;
}

}  // namespace

std::uint64_t EstimateAlbumFileSize(
    const CAlbum& album, const std::vector<std::pair<std::int32_t, std::int32_t>>& sizes) {
    std::uint64_t records = 1;
    std::uint64_t bytes = kAlbumHeaderFixed + HandheldText(album.Title(), album.Note()).size();
    for (std::size_t i = 0; i < album.Count() && i < sizes.size(); ++i) {
        const CAlbumImage& entry = *album.At(i);
        const auto [width, height] = sizes[i];
        if (width <= 0 || height <= 0) {
            continue;
        }
        const auto [storedWidth, storedHeight] = StoredSize(entry, width, height);
        const std::uint32_t image =
            CPreparedPicture::ImageSize(entry.m_colorDepth, storedWidth, storedHeight);
        records += 1 + image / kDataRecordSize + 1;
        bytes += kPictureHeaderFixed + HandheldText(entry.m_title, entry.m_note).size() + image;
    }
    return bytes + 80 + CPalmDatabase::kRecordEntrySize * records;
}

CBuildResult BuildAlbumFile(const CAlbum& album, const std::string& path,
                            const CPictureReading& reading, const CAlbumBuildOptions& options) {
    if (std::string problem = CheckAlbum(album); !problem.empty()) {
        return Outcome(BuildOutcome::Refused, std::move(problem));
    }
    if (!reading.load) {
        return Outcome(BuildOutcome::Refused, "no way to read pictures");
    }
    const std::size_t total = album.Count();
    if (reading.readSize) {
        std::vector<std::pair<std::int32_t, std::int32_t>> sizes(total, {0, 0});
        for (std::size_t i = 0; i < total && !Cancelled(options); ++i) {
            if (!reading.readSize(album.At(i)->m_sourcePath, sizes[i].first, sizes[i].second)) {
                sizes[i] = {0, 0};  // the build itself says why
            }
        }
        const std::uint64_t estimate = EstimateAlbumFileSize(album, sizes);
        if (estimate > kMaxAlbumFileSize) {
            return Outcome(BuildOutcome::Refused,
                           "the album would take " + MegabytesText(estimate) +
                               "; an album file holds at most " + MegabytesText(kMaxAlbumFileSize));
        }
    }

    CDib icon;
    if (!icon.Create(kIconSide, kIconSide, 24)) {
        return Outcome(BuildOutcome::WriteFailed, "out of memory");
    }
    const bool iconMade = options.icon && options.icon->Width() == kIconSide &&
                          options.icon->Height() == kIconSide && options.icon->BitsPerPixel() == 24;
    std::size_t iconEntry = total;  // none of the pictures gives the icon
    for (std::size_t i = 0; i < total && !album.IconSource().empty() && !iconMade; ++i) {
        if (album.At(i)->m_sourcePath == album.IconSource()) {
            iconEntry = i;
            break;
        }
    }

    CPreparationRun run(album, reading, options, iconEntry, icon);
    int threads = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, static_cast<int>(std::max<std::size_t>(total, 1)));
    if (total > 0) {
        run.Start(threads);
    }
    for (std::size_t i = 0; i < total; ++i) {
        if (!run.WaitFor(i)) {
            return Outcome(BuildOutcome::Cancelled);
        }
        while (!run.Slot(i).reason.empty()) {
            if (auto stop = GiveUp(options, {i, album.At(i)->m_sourcePath, run.Slot(i).reason})) {
                return *stop;
            }
            run.Retry(i);
        }
        if (options.progress) {
            options.progress(i + 1, total);
        }
    }
    run.Stop();

    if (!album.IconSource().empty() && iconEntry == total && !iconMade) {
        std::string reason;
        while (!LoadIcon(album.IconSource(), reading, icon, reason)) {
            if (auto stop = GiveUp(options, {total, album.IconSource(), reason})) {
                return *stop;
            }
        }
    }
    if (Cancelled(options)) {
        return Outcome(BuildOutcome::Cancelled);
    }

    try {
        CPreparedAlbum prepared;
        prepared.m_icon = album.IconSource().empty() ? nullptr
                          : iconMade                 ? options.icon.get()
                                                     : &icon;
        prepared.m_text = HandheldText(album.Title(), album.Note());
        CPalmDatabase database;
        NameAlbumDatabase(database);
        for (std::size_t i = 0; i < total; ++i) {
            if (!prepared.AddPicture(std::move(run.Slot(i).picture))) {
                return Outcome(BuildOutcome::WriteFailed, "out of memory");
            }
        }
        if (!prepared.WriteAlbumHeader(database)) {
            return Outcome(BuildOutcome::WriteFailed, "out of memory");
        }
        for (std::size_t i = 0; i < total; ++i) {
            if (!database.AdoptRecords(*run.Slot(i).records)) {
                return Outcome(BuildOutcome::Refused, "more records than a Palm database can hold");
            }
        }
        if (database.FileSize64() > kMaxAlbumFileSize) {
            return Outcome(BuildOutcome::Refused,
                           "the album takes " + MegabytesText(database.FileSize64()) +
                               "; an album file holds at most " + MegabytesText(kMaxAlbumFileSize));
        }
        std::string reason;
        if (!database.WriteToFile(path.c_str(), options.cancel, &reason)) {
            return reason.empty() ? Outcome(BuildOutcome::Cancelled)
                                  : Outcome(BuildOutcome::WriteFailed, reason);
        }
    } catch (const std::bad_alloc&) {
        return Outcome(BuildOutcome::WriteFailed, "out of memory");
    }
    return Outcome(BuildOutcome::Written);
}
