#include "ui/messages.h"

#include <QEvent>
#include <QObject>
#include <QPointer>

namespace {

// Calls its function at the first Show event of the widget it watches, then goes.
class CShowWatcher : public QObject {
public:
    CShowWatcher(QWidget* window, std::function<void()> show)
        : QObject(window), m_show(std::move(show)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            deleteLater();
            // After the window's own show has finished: the box then centres on it.
            QMetaObject::invokeMethod(this->parent(), m_show, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_show;
};

}  // namespace

QMessageBox::StandardButton ShowMessage(QWidget* window, QMessageBox::Icon icon,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton byDefault) {
    QMessageBox box(icon, QString::fromLatin1(kMessageTitle), text, buttons, window);
    if (byDefault != QMessageBox::NoButton) {
        box.setDefaultButton(byDefault);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void WhenOnScreen(QWidget* window, std::function<void()> show) {
    if (window == nullptr || window->isVisible()) {
        show();
        return;
    }
    new CShowWatcher(window, std::move(show));
}
