#pragma once

#include "TDataChannel.h"
#include "TagEditorValues.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace halvane {

class ProfileStore;
class TFormFunction;

// The tag editor ("Tag"): edits its working copy of one tag. The caller fills the
// working copy and the tag number, runs the dialog and takes the copy back after OK;
// the dialog itself saves nothing.
class TFormEditPoint final : public QDialog {
    Q_OBJECT
public:
    explicit TFormEditPoint(const ProfileStore& config, QWidget* parent = nullptr);

    TDataChannel& Tag() { return m_tag; }
    // The number shown in "Id".
    void SetTagNumber(int number);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    void BuildOutputPage(QTabWidget& pages);
    void LoadControls(const TagEditorValues& values);
    // The notification check box, shown with its caption while notifications are on.
    void ShowNotifyChoice();
    TagEditorValues ReadControls() const;
    void ComboBoxCommunicationChange();
    void ComboBoxDataTypeChange();
    void ComboBoxFunctionChange();
    void EditRegisterAddrChange();
    void CheckBoxEnableAlertClick();
    void ButtonDefineFunctionClick();
    void ButtonSaveClick();

    const ProfileStore& m_config;
    TDataChannel m_tag;
    TFormFunction* m_formFunction = nullptr;

    QLineEdit* m_editName = nullptr;
    QLineEdit* m_editDescription = nullptr;
    QLineEdit* m_editUnit = nullptr;
    QComboBox* m_comboBoxFormat = nullptr;
    QLineEdit* m_editId = nullptr;
    QComboBox* m_comboBoxCommunication = nullptr;
    QLineEdit* m_editComPort = nullptr;
    QLineEdit* m_editProtocol = nullptr;
    QLineEdit* m_editSlaveAddress = nullptr;
    QComboBox* m_comboBoxFunction = nullptr;
    QLineEdit* m_editRegisterAddr = nullptr;
    QLabel* m_labelRegHex = nullptr;
    QComboBox* m_comboBoxDataType = nullptr;
    QRadioButton* m_radioButtonUnsigned = nullptr;
    QRadioButton* m_radioButtonSigned = nullptr;
    QCheckBox* m_checkBoxSwapBytes = nullptr;
    QCheckBox* m_checkBoxSwapDWords = nullptr;
    QCheckBox* m_checkBoxSwapWords = nullptr;
    QCheckBox* m_checkBoxReverseOrder = nullptr;
    QButtonGroup* m_conversion = nullptr; // button ids are the `Linear` values
    QCheckBox* m_checkBoxFilter = nullptr;
    QCheckBox* m_checkBoxEnableAlert = nullptr;
    QLineEdit* m_editHighThreshold = nullptr;
    QLineEdit* m_editLowThreshold = nullptr;
    QLabel* m_labelHighUnit = nullptr;
    QLabel* m_labelLowUnit = nullptr;
    QComboBox* m_comboBoxAlarmPriority = nullptr;
    QLineEdit* m_editAlarmDeadband = nullptr;
    QLabel* m_labelDeadbandUnit = nullptr;
    QLineEdit* m_editAlarmDelay = nullptr;
    QCheckBox* m_checkBoxSMSAlert = nullptr;
    QLineEdit* m_editWriteMin = nullptr;
    QLineEdit* m_editWriteMax = nullptr;
    QLabel* m_labelWriteMinUnit = nullptr;
    QLabel* m_labelWriteMaxUnit = nullptr;
};

} // namespace halvane
