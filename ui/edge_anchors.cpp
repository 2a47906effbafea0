#include "ui/edge_anchors.h"

#include <algorithm>

#include <QWidget>

void CEdgeAnchors::Add(QWidget* control, unsigned how, QSize dialog) {
    m_anchors.push_back({control, how, control->geometry(), dialog});
}

void CEdgeAnchors::Apply(QSize dialog) const {
    for (const CAnchor& anchor : m_anchors) {
        // Never smaller than the template drew it.
        const int dx = std::max(0, dialog.width() - anchor.dialog.width());
        const int dy = std::max(0, dialog.height() - anchor.dialog.height());
        QRect place = anchor.place;
        if ((anchor.how & kStretchRight) != 0) {
            place.setWidth(place.width() + dx);
        }
        if ((anchor.how & kMoveRight) != 0) {
            place.translate(dx, 0);
        }
        if ((anchor.how & kStretchDown) != 0) {
            place.setHeight(place.height() + dy);
        }
        anchor.control->setGeometry(place);
    }
}
