#pragma once

#include "TScreenMarker.h"

#include <QListWidget>

namespace halvane {

// The palette of screen-object kinds, in the order the user sees them. Items are dragged
// onto a screen in edit mode, which creates an object of that kind where they drop.
class ObjectPalette final : public QListWidget {
    Q_OBJECT
public:
    explicit ObjectPalette(QWidget* parent = nullptr);

    // Tall enough for every entry without scrolling.
    QSize sizeHint() const override;

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    // Items are copied onto screens, never moved out of the palette.
    Qt::DropActions supportedDropActions() const override;
};

} // namespace halvane
