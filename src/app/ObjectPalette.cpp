#include "ObjectPalette.h"

#include "Icons.h"
#include "TScreenMarker.h"

#include <QMimeData>

namespace halvane {

namespace {

constexpr int kTypeRole = Qt::UserRole;

} // namespace

ObjectPalette::ObjectPalette(QWidget* parent) : QListWidget(parent) {
    setObjectName("ListView1");
    setToolTip(tr("Drag object and drop on the screen"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    for (const ObjectKind& kind : kObjectKinds) {
        auto* item = new QListWidgetItem(MakeObjectKindIcon(kind.type), tr(kind.name), this);
        item->setData(kTypeRole, kind.type);
    }
}

QSize ObjectPalette::sizeHint() const {
    int rows = 0;
    for (int row = 0; row < count(); ++row)
        rows += sizeHintForRow(row) + 2 * spacing();
    return {QListWidget::sizeHint().width(), rows + 2 * frameWidth()};
}

QStringList ObjectPalette::mimeTypes() const {
    return {QString::fromLatin1(kObjectTypeMimeType)};
}

QMimeData* ObjectPalette::mimeData(const QList<QListWidgetItem*>& items) const {
    if (items.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setData(kObjectTypeMimeType, QByteArray::number(items.first()->data(kTypeRole).toInt()));
    return data;
}

Qt::DropActions ObjectPalette::supportedDropActions() const {
    return Qt::CopyAction;
}

} // namespace halvane
