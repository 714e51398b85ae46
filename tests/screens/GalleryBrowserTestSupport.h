#pragma once

// Drives the gallery browser's grid as the mouse does.

#include "WidgetTestSupport.h"

#include <QStringList>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace halvane::test {

inline QTableWidget* GalleryGrid(const QWidget& browser) {
    return Child<QTableWidget>(browser, "DrawGridGallery");
}

// The first click of a double click makes the cell the current one.
inline void DoubleClickCell(QTableWidget* grid, int row, int column) {
    const QModelIndex cell = grid->model()->index(row, column);
    ASSERT_TRUE(cell.isValid()) << row << "," << column;
    grid->scrollTo(cell);
    const QPoint centre = grid->visualRect(cell).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, centre);
}

// Double-clicks the cell that shows `caption`.
inline void DoubleClickEntry(const QWidget& browser, const QString& caption) {
    QTableWidget* grid = GalleryGrid(browser);
    const QList<QTableWidgetItem*> found = grid->findItems(caption, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << caption.toStdString();
    DoubleClickCell(grid, found.front()->row(), found.front()->column());
}

} // namespace halvane::test
