#include "app/save_progress_dlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "album/album.h"
#include "platform/system_path.h"
#include "res/resource.h"
#include "ui/messages.h"

namespace {

// The range message of the bar carries its maximum in 16 bits.
constexpr std::size_t kLargestBarRange = 0x7FFF;

}  // namespace

CSaveProgressDlg::CSaveProgressDlg(QWidget* parent) : CTemplateDialog(IDD_SAVE_PROGRESS, parent) {}

CSaveProgressDlg::~CSaveProgressDlg() {
    m_cancel = true;
    {
        std::lock_guard lock(m_mutex);
        m_hasAnswer = true;  // a question nobody will answer gives the picture up
        m_answer = false;
    }
    m_answered.notify_all();
    if (m_build.joinable()) {
        m_build.join();
    }
}

void CSaveProgressDlg::SetJob(const CAlbum& album, std::string path, CPictureReading reading,
                              std::shared_ptr<const CDib> icon) {
    m_album = album;
    m_icon = std::move(icon);
    m_path = std::move(path);
    m_reading = std::move(reading);
}

void CSaveProgressDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_SAVE_COUNT, m_count);
    DDX_Control(dx, IDC_SAVE_PROGRESS, m_progress);
}

void CSaveProgressDlg::OnInitDialog() {
    const std::size_t total = m_album ? m_album->Count() : 0;
    m_progress->setRange(0, static_cast<int>(std::min(total, kLargestBarRange)));
    m_progress->setValue(0);
    if (auto* cancel = qobject_cast<QPushButton*>(GetDlgItem(IDCANCEL))) {
        connect(cancel, &QPushButton::clicked, this, &CSaveProgressDlg::reject);
    }
    if (!m_album) {
        m_result.outcome = BuildOutcome::Refused;
        m_result.reason = "nothing to save";
        return;
    }
    CAlbumBuildOptions options;
    options.cancel = &m_cancel;
    options.icon = m_icon;
    options.progress = [this](std::size_t done, std::size_t count) {
        QMetaObject::invokeMethod(
            this, [this, done, count] { OnProgress(done, count); }, Qt::QueuedConnection);
    };
    options.retry = [this](const CPictureFailure& failure) { return AskRetry(failure); };
    m_build = std::thread([this, options] {
        // A picture the user skips leaves this file, not the album: the build starts again
        // without it.
        CAlbum album = *m_album;
        CBuildResult result;
        for (;;) {
            result = BuildAlbumFile(album, m_path, m_reading, options);
            std::lock_guard lock(m_mutex);
            if (result.outcome != BuildOutcome::PictureFailed || !m_skip) {
                break;
            }
            m_skip = false;
            album.RemoveAt(result.picture.index);
        }
        QMetaObject::invokeMethod(
            this,
            [this, result = std::move(result)] {
                m_result = result;
                OnFinished();
            },
            Qt::QueuedConnection);
    });
}

void CSaveProgressDlg::OnProgress(std::size_t done, std::size_t total) {
    m_count->setText(QStringLiteral("%1 of %2").arg(done).arg(total));
    m_progress->setValue(static_cast<int>(std::min(done, kLargestBarRange)));
}

bool CSaveProgressDlg::AskRetry(const CPictureFailure& failure) {
    {
        std::lock_guard lock(m_mutex);
        m_hasAnswer = false;
    }
    QMetaObject::invokeMethod(
        this,
        [this, failure] {
            const QString file = PathFromSystem(failure.path);
            // Only a picture of the album can be left out; the icon's own file cannot.
            const bool skippable = m_album && failure.index < m_album->Count();
            QMessageBox box(
                QMessageBox::Warning, QString::fromLatin1(kMessageTitle),
                QStringLiteral("%1\ncannot be read: %2\n\nPut the picture back and Retry, %3"
                               "or Cancel the save.")
                    .arg(file, QString::fromStdString(failure.reason),
                         skippable ? QStringLiteral("Skip it to leave it out of this file "
                                                    "(the album keeps it), ")
                                   : QString()),
                QMessageBox::Retry | QMessageBox::Cancel, this);
            if (skippable) {
                box.addButton(QMessageBox::Ignore)->setText(QStringLiteral("&Skip"));
            }
            box.setDefaultButton(QMessageBox::Retry);
            const int answer = m_cancel ? QMessageBox::Cancel : box.exec();
            const bool retry = answer == QMessageBox::Retry;
            const bool skip = answer == QMessageBox::Ignore;
            if (!retry && !skip) {
                m_cancel = true;
            }
            {
                std::lock_guard lock(m_mutex);
                m_hasAnswer = true;
                m_answer = retry;
                m_skip = skip;
            }
            m_answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_answered.wait(lock, [this] { return m_hasAnswer; });
    return m_answer;
}

void CSaveProgressDlg::OnFinished() {
    m_finished = true;
    if (m_build.joinable()) {
        m_build.join();
    }
    if (m_result.outcome == BuildOutcome::Written) {
        accept();
    } else {
        QDialog::reject();
    }
}

void CSaveProgressDlg::reject() {
    if (m_finished || !m_build.joinable()) {
        QDialog::reject();
        return;
    }
    // The build stops at its next picture or record; the dialog ends when it has.
    m_cancel = true;
    if (auto* cancel = GetDlgItem(IDCANCEL)) {
        cancel->setEnabled(false);
    }
}

void CSaveProgressDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}
