#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <QObject>

#include "imaging/dib.h"

// Decodes picture files on a thread of its own, so that the window never waits for a large
// photograph, and keeps the last few decoded so that going back to one of them is instant.
// Each channel has one request waiting at most: a request that a newer one on the same channel
// replaces before its decoding starts is dropped. The shown picture goes first, then the icon,
// then the pictures checked in the background.
class CPictureCache : public QObject {
    Q_OBJECT
public:
    // The decoded pictures kept, and the most memory they may take together.
    static constexpr std::size_t kKeptPictures = 4;
    static constexpr std::size_t kKeptBytes = std::size_t{256} << 20;

    // The picture (24 bits, natural size, upright), or none with a short reason.
    using Answer =
        std::function<void(std::shared_ptr<const CDib> picture, const std::string& reason)>;

    enum class Channel { Shown, Icon, Check };
    static constexpr std::size_t kChannels = 3;

    explicit CPictureCache(QObject* parent = nullptr);
    ~CPictureCache() override;

    // Asks for the picture file (the system's path). A kept picture is answered at once, before
    // this returns; any other is answered later, on this object's thread.
    void Request(const std::string& path, Answer answer, Channel channel = Channel::Shown);
    // Whether a request is still being worked on.
    bool IsBusy() const;

private:
    struct CKept {
        std::string key;
        std::shared_ptr<const CDib> picture;
    };
    struct CRequest {
        std::string path;
        std::string key;
        Answer answer;
    };

    // The path together with what tells a changed file apart: its size and time.
    static std::string KeyOf(const std::string& path);
    std::shared_ptr<const CDib> FindLocked(const std::string& key);
    bool HasPendingLocked() const;
    void KeepLocked(const std::string& key, std::shared_ptr<const CDib> picture);
    void Work();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::list<CKept> m_kept;  // most recently used first
    std::array<std::unique_ptr<CRequest>, kChannels> m_pending;
    int m_inFlight = 0;  // requests taken by the thread and not answered yet
    bool m_stop = false;
    std::thread m_thread;
};
