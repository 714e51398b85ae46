#pragma once

#include <QWidget>

namespace halvane {

// "Please wait...": shown by a window while it runs a long operation, centred over its
// owner with the busy cursor, and hidden when the operation is done.
class TFormProgress final : public QWidget {
    Q_OBJECT
public:
    explicit TFormProgress(QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace halvane
