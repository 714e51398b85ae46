#include "TFormNavigator.h"

#include "ProfileStore.h"
#include "ScreenList.h"
#include "TFormScreen.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

namespace halvane {

namespace {

constexpr int kClientWidth = 128;
constexpr int kClientHeight = 65;
constexpr int kButtonPointSize = 20;
constexpr char kSection[] = "Navigator";

} // namespace

TFormNavigator::TFormNavigator(ProfileStore& config, const ScreenList& screens, QWidget* owner)
    : QWidget(owner,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_config(config), m_screens(screens) {
    setObjectName("FormNavigator");
    setWindowTitle(tr("Navigator"));
    setFixedSize(kClientWidth, kClientHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QPushButton* previous = AddButton("ButtonPrevious", "<<", tr("Previous screen"));
    QPushButton* next = AddButton("ButtonNext", ">>", tr("Next screen"));
    connect(previous, &QPushButton::clicked, this, &TFormNavigator::PreviousScreen);
    connect(next, &QPushButton::clicked, this, &TFormNavigator::NextScreen);
}

QPushButton* TFormNavigator::AddButton(const char* name, const QString& caption,
                                       const QString& hint) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setToolTip(hint);
    QFont font(QStringLiteral("Arial Black"), kButtonPointSize);
    font.setBold(true);
    button->setFont(font);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout()->addWidget(button);
    return button;
}

void TFormNavigator::PreviousScreen() {
    const int count = static_cast<int>(m_screens.Size());
    if (count < 2)
        return;
    // An index left beyond the end by removed screens steps back from past the last one.
    m_index = m_index <= 0 ? count - 1 : std::min(m_index, count) - 1;
    ShowScreenAtIndex();
}

// An index left beyond the end by removed screens wraps to the first one.
void TFormNavigator::NextScreen() {
    const int count = static_cast<int>(m_screens.Size());
    if (count < 2)
        return;
    m_index = m_index < count - 1 ? m_index + 1 : 0;
    ShowScreenAtIndex();
}

void TFormNavigator::ShowScreenAtIndex() {
    TFormScreen* screen = m_screens.At(static_cast<size_t>(m_index));
    screen->show();
    screen->raise();
    emit ScreenShown(m_index);
}

void TFormNavigator::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        move(m_config.ReadInteger(kSection, "Left", 0), m_config.ReadInteger(kSection, "Top", 0));
}

void TFormNavigator::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    ProfileStore::Batch batch(m_config);
    m_config.WriteInteger(kSection, "Left", x());
    m_config.WriteInteger(kSection, "Top", y());
}

} // namespace halvane
