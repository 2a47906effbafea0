#pragma once

#include <QRect>
#include <QSize>
#include <utility>
#include <vector>

class QWidget;

// Keeps controls at their distance from their dialog's right and bottom edges as the dialog
// grows: a control stretches with the edge or moves along with it.
class CEdgeAnchors {
public:
    enum How : unsigned {
        kStretchRight = 1u << 0,
        kMoveRight = 1u << 1,
        kStretchDown = 1u << 2,
    };

    // Takes the control's place in a dialog of `dialog` size as the one to keep.
    void Add(QWidget* control, unsigned how, QSize dialog);
    // Places every control for a dialog of `dialog` size.
    void Apply(QSize dialog) const;

private:
    struct CAnchor {
        QWidget* control;
        unsigned how;
        QRect place;
        QSize dialog;
    };
    std::vector<CAnchor> m_anchors;
};
