#pragma once

#include <QDialog>

#include <string>
#include <string_view>

class QLabel;

namespace halvane {

// A date "yyyy-mm-dd" as C's __DATE__ writes one: month abbreviation, the day right-aligned
// in two places, the year ("Apr  8 2014"). Any other text is returned as it is.
std::string BuildDateText(std::string_view isoDate);

// "<version> (Build: <date>)".
QString VersionLine(const QString& version, const QString& buildDate);

// The About box: the program's name, its version line and "&Close".
class TFormAbout final : public QDialog {
    Q_OBJECT
public:
    explicit TFormAbout(QWidget* owner);

    QLabel* LabelVersion() const { return m_labelVersion; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_labelVersion = nullptr;
};

} // namespace halvane
