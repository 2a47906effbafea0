#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QWidget;

// A note just under a text box while its text holds characters the handheld cannot show,
// naming them: the handheld's texts are in its own code page, where they become "?". The note
// is drawn over whatever lies below the box, lets the mouse through, and goes when the text
// no longer holds such characters.
class CUnshownCharactersNote : public QObject {
    Q_OBJECT
public:
    // Watches `box`, a QLineEdit or a QPlainTextEdit, as long as it lives.
    explicit CUnshownCharactersNote(QWidget* box);

    QLabel* Label() const { return m_label; }
    // The characters of `text` the handheld cannot show, each once, in the order they come.
    static QString UnshownCharacters(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Update();
    void Place();

    QWidget* m_box;
    QLabel* m_label;
};
