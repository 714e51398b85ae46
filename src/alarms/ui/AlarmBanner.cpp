#include "AlarmBanner.h"

#include "AlarmAnnunciation.h"
#include "AlarmListRows.h"
#include "RefreshSoon.h"

#include <QColor>
#include <QMouseEvent>
#include <QTimer>

namespace halvane {

namespace {

QString ColourName(uint32_t rgb) {
    return QColor::fromRgb(rgb).name();
}

} // namespace

AlarmBanner::AlarmBanner(AlarmService& service, QWidget* parent)
    : QLabel(parent), m_service(service) {
    setObjectName("LabelAlarmBanner");
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    m_timerRefresh = new QTimer(this);
    m_timerRefresh->setObjectName("TimerRefresh");
    m_timerRefresh->setSingleShot(true);
    m_timerRefresh->setInterval(kRefreshInterval);
    connect(m_timerRefresh, &QTimer::timeout, this, &AlarmBanner::Refresh);
    m_service.Subscribe(this);
    Refresh();
}

AlarmBanner::~AlarmBanner() {
    m_service.Unsubscribe(this);
}

void AlarmBanner::Refresh() {
    const std::string counts = AlarmCountsText(m_service.Counts());
    const std::optional<AlarmInfo> newest = m_service.NewestUnacknowledged();
    if (counts.empty() && !newest) {
        clear();
        hide();
        return;
    }
    QString text = QString::fromStdString(counts);
    QString style;
    if (newest) {
        text +=
            QStringLiteral("   ") +
            QString::fromStdString(NewestAlarmText(*newest, m_service.TagName(newest->tagIndex)));
        const PriorityColours colours = ColoursOfPriority(newest->priority);
        style = QStringLiteral("QLabel { background-color: %1; color: %2; padding: 0 6px; }")
                    .arg(ColourName(colours.background), ColourName(colours.text));
    }
    setText(text);
    setStyleSheet(style);
    show();
}

void AlarmBanner::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(event);
}

// Told on any thread.
void AlarmBanner::AlarmsChanged() {
    RefreshSoon(m_timerRefresh);
}

} // namespace halvane
