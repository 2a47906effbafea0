#include "cli/album_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "album/album_database.h"
#include "album/picture_preparation.h"
#include "imaging/picture_loader.h"

namespace {

constexpr int kIconSide = 24;

struct CSlot {
    std::unique_ptr<CPreparedPicture> picture;
    QString failure;  // why this picture could not be prepared
    bool done = false;
};

// The crop window in the middle of the fitted picture.
void CenterWindow(CAlbumImage& entry, const CDib& loaded) {
    auto w = static_cast<std::int16_t>(loaded.Width());
    auto h = static_cast<std::int16_t>(loaded.Height());
    entry.FitToSizeLimit(w, h);
    entry.m_horizontalOffset = (w - std::min<int>(w, 160)) / 2;
    entry.m_verticalOffset = (h - std::min<int>(h, 160)) / 2;
}

bool CheckOutput(const QString& output, CInputError& error) {
    const QFileInfo info(output);
    if (output.isEmpty()) {
        error = {output, QStringLiteral("no output file given")};
        return false;
    }
    if (info.isDir()) {
        error = {output, QStringLiteral("is a folder")};
        return false;
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir()) {
        error = {output, QStringLiteral("cannot be written: the folder %1 does not exist")
                             .arg(QDir::toNativeSeparators(info.absolutePath()))};
        return false;
    }
    if (!folder.isWritable()) {
        error = {output, QStringLiteral("cannot be written: the folder is not writable")};
        return false;
    }
    return true;
}

}  // namespace

bool BuildAlbumFile(const CAlbumSpec& spec, const QString& output, const CBuildOptions& options,
                    CInputError& error) {
    if (!ValidateAlbumSpec(spec, error) || !CheckOutput(output, error)) {
        return false;
    }
    const int total = static_cast<int>(spec.pictures.size());
    const int iconIndex = spec.iconIndex && total > 0 ? *spec.iconIndex : -1;

    CDib icon;
    if (!icon.Create(kIconSide, kIconSide, 24)) {  // black until a picture gives it
        error = {output, QStringLiteral("out of memory")};
        return false;
    }

    std::vector<CSlot> results(static_cast<std::size_t>(total));
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::condition_variable changed;
    int finished = 0;

    auto work = [&] {
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= total || failed.load()) {
                return;
            }
            const CPictureSpec& spec_i = spec.pictures[static_cast<std::size_t>(i)];
            CSlot result;
            CPictureLoader loader;
            CDib loaded;
            if (!loader.Open(spec_i.path.toStdString())) {
                result.failure = QString::fromStdString(loader.Error());
            } else if (!loader.RenderToDib(loaded)) {
                result.failure = QStringLiteral("the picture cannot be rendered (out of memory)");
            } else {
                CAlbumImage entry = spec_i.entry;
                if (spec_i.center) {
                    CenterWindow(entry, loaded);
                }
                result.picture = PreparePicture(entry, loaded);
                if (!result.picture) {
                    result.failure = QStringLiteral("the picture cannot be prepared (out of memory)");
                } else if (i == iconIndex && !MakeIconFromPicture(loaded, icon)) {
                    result.failure = QStringLiteral("the album icon cannot be made");
                }
            }
            result.done = true;
            if (!result.failure.isEmpty()) {
                failed.store(true);
            }
            std::lock_guard lock(mutex);
            results[static_cast<std::size_t>(i)] = std::move(result);
            ++finished;
            changed.notify_all();
        }
    };

    int threads = options.threads > 0 ? options.threads : QThread::idealThreadCount();
    threads = std::max(1, std::min(threads, total));
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back(work);
    }
    {
        // This thread only reports progress while the workers prepare.
        std::unique_lock lock(mutex);
        int reported = -1;
        while (finished < total && !failed.load()) {
            if (finished != reported) {
                reported = finished;
                if (options.progress) {
                    lock.unlock();
                    options.progress(reported, total);
                    lock.lock();
                }
            }
            changed.wait(lock, [&] { return finished != reported || failed.load(); });
        }
    }
    for (auto& worker : workers) {
        worker.join();
    }
    for (int i = 0; i < total; ++i) {
        const CSlot& slot = results[static_cast<std::size_t>(i)];
        if (slot.done && !slot.failure.isEmpty()) {
            error = {spec.pictures[static_cast<std::size_t>(i)].path, slot.failure};
            return false;
        }
    }
    if (options.progress) {
        options.progress(total, total);
    }

    CPreparedAlbum album;
    album.m_icon = &icon;
    album.m_text = FormText(spec.title.toStdString(), spec.note.toStdString());
    for (auto& slot : results) {
        if (!slot.picture || !album.AddPicture(std::move(slot.picture))) {
            error = {output, QStringLiteral("out of memory")};
            return false;
        }
    }
    if (!WriteAlbumDatabase(QFile::encodeName(output).constData(), album)) {
        error = {output, QStringLiteral("cannot be written")};
        return false;
    }
    return true;
}
