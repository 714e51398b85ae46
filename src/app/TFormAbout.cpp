#include "TFormAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <charconv>
#include <cstdio>

// HALVANE_VERSION and HALVANE_BUILD_DATE ("yyyy-mm-dd") come from the build.

namespace halvane {

namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The whole of `text` as a number, or -1.
int WholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : -1;
}

} // namespace

std::string BuildDateText(std::string_view isoDate) {
    if (isoDate.size() != 10 || isoDate[4] != '-' || isoDate[7] != '-')
        return std::string(isoDate);
    const int year = WholeNumber(isoDate.substr(0, 4));
    const int month = WholeNumber(isoDate.substr(5, 2));
    const int day = WholeNumber(isoDate.substr(8, 2));
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::string(isoDate);
    char text[16];
    std::snprintf(text, sizeof text, "%s %2d %04d", kMonths[static_cast<size_t>(month - 1)], day,
                  year);
    return text;
}

QString VersionLine(const QString& version, const QString& buildDate) {
    return QStringLiteral("%1 (Build: %2)").arg(version, buildDate);
}

TFormAbout::TFormAbout(QWidget* owner) : QDialog(owner) {
    setObjectName("FormAbout");
    setWindowTitle(tr("About"));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("Halvane"), this);
    name->setObjectName("LabelProgramName");
    QFont bigger = name->font();
    bigger.setPointSize(bigger.pointSize() * 2);
    bigger.setBold(true);
    name->setFont(bigger);
    m_labelVersion = new QLabel(this);
    m_labelVersion->setObjectName("LabelVersion");
    auto* close = new QPushButton(tr("&Close"), this);
    close->setObjectName("ButtonClose");
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(m_labelVersion, 0, Qt::AlignHCenter);
    layout->addWidget(close, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFormAbout::showEvent(QShowEvent* event) {
    m_labelVersion->setText(VersionLine(QStringLiteral(HALVANE_VERSION),
                                        QString::fromStdString(BuildDateText(HALVANE_BUILD_DATE))));
    QDialog::showEvent(event);
}

} // namespace halvane
