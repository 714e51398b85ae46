#include "OpenWithDesktop.h"

#include "MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace halvane {

void OpenWithDesktop(QWidget* parent, const std::filesystem::path& path) {
    const QString file = QString::fromStdString(path.string());
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        return;
    MessageBox::Warning(
        parent, QCoreApplication::applicationName(),
        QCoreApplication::translate("OpenWithDesktop",
                                    "No program to open %1 was found. Open it with a file manager.")
            .arg(file));
}

} // namespace halvane
