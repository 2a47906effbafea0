#pragma once

#include <QPushButton>
#include <QRect>
#include <QString>

// A push button with a tip of its own: the area the button covers when it is bound to its
// dialog becomes the tip's tool, whose text the owner sets later.
class CToolTipButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr int kToolId = 1;

    explicit CToolTipButton(const QString& text, QWidget* parent = nullptr);

    // Registers the button's area at this moment as tool kToolId, with no text yet.
    void PreSubclassWindow();
    // Sets the text of a registered tool; other tools are ignored.
    void UpdateTipText(const QString& text, int toolId);

    QString TipText() const { return m_tipText; }
    QRect ToolRect() const { return m_toolRect; }

protected:
    bool event(QEvent* event) override;

private:
    bool m_registered = false;
    QRect m_toolRect;
    QString m_tipText;
};
