#include "panes/picture_cache.h"

#include <filesystem>
#include <system_error>

#include "decode/picture_loader.h"

CPictureCache::CPictureCache(QObject* parent) : QObject(parent), m_thread([this] { Work(); }) {}

CPictureCache::~CPictureCache() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        for (auto& pending : m_pending) {
            pending.reset();
        }
    }
    m_wake.notify_all();
    m_thread.join();
}

std::string CPictureCache::KeyOf(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const auto time = std::filesystem::last_write_time(path, ec).time_since_epoch().count();
    return path + '\n' + std::to_string(ec ? 0 : size) + '\n' + std::to_string(ec ? 0 : time);
}

void CPictureCache::Request(const std::string& path, Answer answer, Channel channel) {
    auto& pending = m_pending[static_cast<std::size_t>(channel)];
    const std::string key = KeyOf(path);
    std::shared_ptr<const CDib> kept;
    {
        std::lock_guard lock(m_mutex);
        kept = FindLocked(key);
        if (!kept) {
            pending = std::make_unique<CRequest>(CRequest{path, key, std::move(answer)});
        } else {
            pending.reset();  // the newest request is answered; older ones need no answer
        }
    }
    if (kept) {
        answer(kept, {});
        return;
    }
    m_wake.notify_all();
}

bool CPictureCache::IsBusy() const {
    std::lock_guard lock(m_mutex);
    return m_inFlight > 0 || HasPendingLocked();
}

bool CPictureCache::HasPendingLocked() const {
    for (const auto& pending : m_pending) {
        if (pending) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<const CDib> CPictureCache::FindLocked(const std::string& key) {
    for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
        if (it->key == key) {
            m_kept.splice(m_kept.begin(), m_kept, it);
            return m_kept.front().picture;
        }
    }
    return nullptr;
}

void CPictureCache::KeepLocked(const std::string& key, std::shared_ptr<const CDib> picture) {
    m_kept.push_front({key, std::move(picture)});
    std::size_t bytes = 0;
    std::size_t count = 0;
    for (auto it = m_kept.begin(); it != m_kept.end();) {
        bytes += it->picture->PixelBytes();
        ++count;
        // The newest always stays, however large.
        if (count > 1 && (count > kKeptPictures || bytes > kKeptBytes)) {
            it = m_kept.erase(it);
        } else {
            ++it;
        }
    }
}

void CPictureCache::Work() {
    for (;;) {
        std::unique_ptr<CRequest> request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || HasPendingLocked(); });
            if (m_stop) {
                return;
            }
            for (auto& pending : m_pending) {
                if (pending) {
                    request = std::move(pending);
                    break;
                }
            }
            ++m_inFlight;
        }
        auto picture = std::make_shared<CDib>();
        std::string reason;
        CPictureLoader loader;
        if (!loader.Open(request->path)) {
            reason = loader.Error();
        } else if (!loader.RenderToDib(*picture)) {
            reason = loader.Error().empty() ? std::string("out of memory") : loader.Error();
        }
        std::shared_ptr<const CDib> answer;
        if (reason.empty()) {
            answer = picture;
        }
        {
            std::lock_guard lock(m_mutex);
            if (answer) {
                KeepLocked(request->key, answer);
            }
        }
        // Answered on this object's thread; a destroyed cache answers nothing.
        QMetaObject::invokeMethod(
            this,
            [this, answer, reason, callback = std::move(request->answer)] {
                {
                    std::lock_guard lock(m_mutex);
                    --m_inFlight;
                }
                callback(answer, reason);
            },
            Qt::QueuedConnection);
    }
}
