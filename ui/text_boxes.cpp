#include "ui/text_boxes.h"

#include <algorithm>

#include <QPlainTextEdit>
#include <QTextCursor>

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

namespace {

class CUndoKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool ctrlY = key->key() == Qt::Key_Y && key->modifiers() == Qt::ControlModifier;
            if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) || ctrlY) {
                // Kept from the box and not accepted: the window's shortcut gets it.
                event->ignore();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void LeaveUndoToWindow(QWidget* box) {
    box->installEventFilter(new CUndoKeyFilter(box));
}

void LimitPlainText(QPlainTextEdit* box, int characters) {
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box, characters] {
        const QString text = box->toPlainText();
        if (text.size() <= characters) {
            return;
        }
        QTextCursor cursor = box->textCursor();
        const int position = std::min(cursor.position(), characters);
        box->setPlainText(text.left(characters));
        cursor = box->textCursor();
        cursor.setPosition(position);
        box->setTextCursor(cursor);
    });
}
