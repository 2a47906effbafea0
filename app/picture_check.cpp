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
        }
    }
    Next();
}

void CPictureCheck::Next() {
    if (m_running || m_waiting.empty()) {
        return;
    }
    const std::string path = m_waiting.front();
    m_waiting.pop_front();
    m_running = true;
    m_cache.Request(
        path,
        [this, path](std::shared_ptr<const CDib> picture, const std::string& reason) {
            m_running = false;
            if (picture) {
                m_problems.erase(path);
            } else {
                m_problems[path] = reason.empty() ? std::string("cannot be read") : reason;
                Mark();
            }
            Next();
        },
        CPictureCache::Channel::Check);
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
