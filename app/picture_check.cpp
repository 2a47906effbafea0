#include "app/picture_check.h"

#include <QString>

#include "edit/album_document.h"
#include "panes/image_list_pane.h"
#include "panes/picture_cache.h"

CPictureCheck::CPictureCheck(CAlbumDocument& document, CPictureCache& cache, CImageListPane& list,
                             QObject* parent)
    : QObject(parent), m_document(document), m_cache(cache), m_list(list) {
    // Connected after the list, so the marks go on rows it has already redrawn.
    connect(&document, &CAlbumDocument::entriesInserted, this, [this](int first, int count) {
        Take(first, count);
        Mark();
    });
    connect(&document, &CAlbumDocument::albumReplaced, this, [this] {
        Take(0, m_document.Count());
        Mark();
    });
    connect(&document, &CAlbumDocument::entryMoved, this, &CPictureCheck::Mark);
    connect(&document, &CAlbumDocument::entriesRemoved, this, &CPictureCheck::Mark);
}

std::string CPictureCheck::Problem(const std::string& path) const {
    const auto found = m_problems.find(path);
    return found != m_problems.end() ? found->second : std::string();
}

void CPictureCheck::Take(int first, int count) {
    for (int i = first; i < first + count; ++i) {
        if (const CAlbumImage* entry = m_document.Entry(i)) {
            m_waiting.push_back(entry->m_sourcePath);
            ++m_unread[entry->m_sourcePath];
        }
    }
    ReadNext();
}

void CPictureCheck::ReadNext() {
    // A picture the cache keeps is answered at once, inside Request: the loop takes the next
    // one rather than each answer calling this again.
    if (m_starting) {
        return;
    }
    m_starting = true;
    while (!m_running && !m_waiting.empty()) {
        const std::string path = m_waiting.front();
        m_waiting.pop_front();
        m_running = true;
        m_cache.Request(
            path,
            [this, path](std::shared_ptr<const CDib> picture, const std::string& reason) {
                m_running = false;
                if (--m_unread[path] <= 0) {
                    m_unread.erase(path);
                }
                if (picture) {
                    m_problems.erase(path);
                } else {
                    m_problems[path] = reason.empty() ? std::string("cannot be read") : reason;
                    Mark();
                }
                ReadNext();
                Report();
            },
            CPictureCache::Channel::Check);
    }
    m_starting = false;
}

void CPictureCheck::Found(const std::string& path, const std::string& reason) {
    if (!reason.empty()) {
        m_problems[path] = reason;
        Mark();
        return;
    }
    // The list marks a file it cannot find on its own, so every row of the file is unmarked.
    m_problems.erase(path);
    for (int row = 0; row < m_document.Count(); ++row) {
        if (m_document.Entry(row)->m_sourcePath == path && m_list.IsMarkedMissing(row)) {
            m_list.MarkMissing(row, QString());
        }
    }
}

void CPictureCheck::Mark() {
    if (m_problems.empty()) {
        return;
    }
    for (int row = 0; row < m_document.Count(); ++row) {
        const auto found = m_problems.find(m_document.Entry(row)->m_sourcePath);
        if (found != m_problems.end()) {
            m_list.MarkMissing(row, QString::fromStdString(found->second));
        }
    }
}

void CPictureCheck::AfterReading(std::vector<std::string> paths, std::function<void(int)> done) {
    m_batches.push_back({std::move(paths), std::move(done)});
    Report();
}

void CPictureCheck::Report() {
    for (std::size_t i = 0; i < m_batches.size();) {
        const CBatch& batch = m_batches[i];
        int unreadable = 0;
        bool read = true;
        for (const std::string& path : batch.paths) {
            read = read && m_unread.count(path) == 0;
            unreadable += m_problems.count(path) != 0 ? 1 : 0;
        }
        if (!read) {
            ++i;
            continue;
        }
        const auto done = batch.done;
        m_batches.erase(m_batches.begin() + static_cast<std::ptrdiff_t>(i));
        done(unreadable);
    }
}
