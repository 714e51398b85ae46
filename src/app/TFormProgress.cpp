#include "TFormProgress.h"

#include "WindowPlacement.h"

#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace halvane {

namespace {

constexpr int kClientWidth = 288;
constexpr int kClientHeight = 30;

} // namespace

TFormProgress::TFormProgress(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("FormProgress");
    setWindowTitle(tr("Please wait..."));
    setFixedSize(kClientWidth, kClientHeight);
    setCursor(Qt::WaitCursor);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* text = new QLabel(tr("Operation in progress. Please wait..."), this);
    text->setObjectName("Label1");
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
}

void TFormProgress::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous() || !parentWidget())
        return;
    const QWidget* owner = parentWidget()->window();
    move(owner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    KeepWithinScreen(*this);
}

} // namespace halvane
