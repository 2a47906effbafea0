#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "album/album_build.h"
#include "ui/template_layer.h"

class CAlbum;
class QLabel;
class QProgressBar;

// "Saving File...": builds the album file on threads of its own while the window stays
// responsive, shows "Saving N of M" as the pictures are ready, asks what to do about a picture
// that cannot be read, and stops at once on Cancel, Escape or the close box, leaving the target
// as it was.
class CSaveProgressDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CSaveProgressDlg(QWidget* parent = nullptr);
    ~CSaveProgressDlg() override;

    // What to build and where. The build works on its own copy of the album, so the window may
    // go on storing edits while it runs; `icon` is the album icon as shown, when there is one.
    void SetJob(const CAlbum& album, std::string path, CPictureReading reading,
                std::shared_ptr<const CDib> icon = nullptr);
    // How the build ended; meaningful once the dialog has.
    const CBuildResult& Result() const { return m_result; }
    // True once the user has asked to stop.
    bool IsCancelling() const { return m_cancel.load(); }

    QLabel* CountLabel() const { return m_count; }
    QProgressBar* ProgressBar() const { return m_progress; }

public slots:
    // Cancel, Escape and the close box: the build stops, and the dialog ends once it has.
    void reject() override;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnInitDialog() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnProgress(std::size_t done, std::size_t total);
    // Asks the user, on the window's thread, whether to try a picture again; the build's
    // thread waits for the answer.
    bool AskRetry(const CPictureFailure& failure);
    void OnFinished();

    std::optional<CAlbum> m_album;
    std::shared_ptr<const CDib> m_icon;
    std::string m_path;
    CPictureReading m_reading;
    CBuildResult m_result;
    std::atomic<bool> m_cancel{false};
    bool m_finished = false;
    std::thread m_build;

    std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_hasAnswer = false;
    bool m_answer = false;
    bool m_skip = false;  // the picture that failed is to be left out of this file

    QLabel* m_count = nullptr;
    QProgressBar* m_progress = nullptr;
};
