#include "ui/tool_tip_button.h"

#include <QHelpEvent>
#include <QToolTip>

CToolTipButton::CToolTipButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void CToolTipButton::PreSubclassWindow() {
    m_registered = true;
    m_toolRect = rect();
    m_tipText.clear();
}

void CToolTipButton::UpdateTipText(const QString& text, int toolId) {
    if (m_registered && toolId == kToolId) {
        m_tipText = text;
    }
}

bool CToolTipButton::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QPushButton::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    if (m_registered && !m_tipText.isEmpty() && m_toolRect.contains(help->pos())) {
        QToolTip::showText(help->globalPos(), m_tipText, this, m_toolRect);
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}
