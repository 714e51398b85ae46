#pragma once

#include "TDataChannel.h"

#include <QDialog>

class QChart;
class QLabel;
class QLineSeries;
class QTableWidget;
class QValueAxis;

namespace halvane {

class TFormCalibrate;
class TFormFunctionPoint;
class TFormFunctionWizard;

// The scaling function editor ("Math function") on its own copy of a tag: the points in
// a grid and a chart with the fitted line, point by point or through the wizard, and
// the calibration offset. Closing without saving after a change of the points asks first.
class TFormFunction final : public QDialog {
    Q_OBJECT
public:
    explicit TFormFunction(QWidget* parent = nullptr);

    TDataChannel& Tag() { return m_tag; }
    // The points changed since the editor was shown or saved.
    bool Changed() const { return m_changed; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    void Redraw();
    void SetAxes();
    int SelectedPoint() const;
    void ButtonAddClick();
    void ButtonEditClick();
    void ButtonDeleteClick();
    void ButtonSaveClick();
    void ButtonCalibrateClick();
    void ButtonResetOffsetClick();
    void ButtonWizardClick();
    // A change of the points: the flag goes on and everything is drawn again.
    void PointsChanged();

    TDataChannel m_tag;
    bool m_changed = false;
    QChart* m_chart = nullptr;
    QLineSeries* m_series1 = nullptr;
    QLineSeries* m_series2 = nullptr;
    QLineSeries* m_series3 = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    QTableWidget* m_stringGridChart = nullptr;
    QLabel* m_labelLinear = nullptr;
    TFormFunctionPoint* m_formFunctionPoint = nullptr;
    TFormFunctionWizard* m_formFunctionWizard = nullptr;
    TFormCalibrate* m_formCalibrate = nullptr;
};

} // namespace halvane
