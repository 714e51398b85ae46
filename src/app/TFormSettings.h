#pragma once

#include "AlarmSettingsFields.h"
#include "MqttSettings.h"
#include "NotifyOptions.h"
#include "StationSettings.h"

#include <QDialog>

#include <optional>
#include <string>
#include <thread>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace halvane {

class ProfileStore;
class TFormEditStyles;

// The program-wide options ("Settings"): history, web server, the CRC switch, MQTT
// publishing, alarms, notifications and the text styles. Each show reads the configuration; "&Save"
// writes it in one file write and closes unless a number was refused or the file could not be
// written, so that the user's input stays. The style actions write at once, whatever closes the
// dialog; the style editor is the station's one, shared with the object editor. The notifications'
// test message is sent on a thread of its own while the dialog stays usable. Run modally.
class TFormSettings final : public QDialog {
    Q_OBJECT
public:
    TFormSettings(ProfileStore& config, TFormEditStyles& styleEditor, QWidget* parent = nullptr);
    // Waits for a test message under way (at most the delivery's own time limits).
    ~TFormSettings() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildStylesPage();
    QWidget* BuildHistoryPage();
    QWidget* BuildWebServerPage();
    QWidget* BuildOthersPage();
    QWidget* BuildMqttPage();
    QWidget* BuildAlarmsPage();
    QWidget* BuildNotifyPage();
    QWidget* BuildButtonsRow();

    void ShowSettings(const StationSettings& settings);
    StationSettings TypedSettings() const;
    void ShowMqttSettings(const MqttSettings& settings);
    MqttSettings TypedMqttSettings() const;
    void ShowAlarmFields(const AlarmFields& settings);
    AlarmFields TypedAlarmFields() const;
    void ShowNotifyOptions(const NotifyOptions& options);
    NotifyOptions TypedNotifyOptions() const;
    void RebuildStyleList();

    void PageControlSettingsChange(int index);
    void ButtonEditStylesClick();
    void ButtonAddStyleClick();
    void ButtonOpenHistoryFolderClick();
    void ButtonOpenWebRootClick();
    void ButtonOpenEventsFolderClick();
    void ButtonNotifyTestClick();
    void NotifyTestDone(const std::optional<std::string>& failure);
    void ButtonSaveClick();

    void LoadSettings();

    ProfileStore& m_config;
    TFormEditStyles& m_formEditStyles;
    StationSettings m_shown; // as read at the last show: the values without a control

    QTabWidget* m_pageControlSettings = nullptr;
    QWidget* m_tabSheetStyles = nullptr;
    QPlainTextEdit* m_memoStyles = nullptr;
    QCheckBox* m_checkBoxEnableHistory = nullptr;
    QLineEdit* m_editInterval = nullptr;
    QLineEdit* m_editRetention = nullptr;
    QComboBox* m_comboBoxSeparator = nullptr;
    QLineEdit* m_editEventsFolder = nullptr;
    QCheckBox* m_checkBoxEnableWebServer = nullptr;
    QLineEdit* m_editWebPort = nullptr;
    QLineEdit* m_editWebUsername = nullptr;
    QLineEdit* m_editWebPassword = nullptr;
    QCheckBox* m_checkBoxCRC = nullptr;
    QCheckBox* m_checkBoxEnableMqtt = nullptr;
    QLineEdit* m_editMqttHost = nullptr;
    QLineEdit* m_editMqttPort = nullptr;
    QLineEdit* m_editMqttClientId = nullptr;
    QLineEdit* m_editMqttUsername = nullptr;
    QLineEdit* m_editMqttPassword = nullptr;
    QLineEdit* m_editMqttTopicPrefix = nullptr;
    QComboBox* m_comboBoxMqttQoS = nullptr;
    QLineEdit* m_editMqttRepublish = nullptr;
    QCheckBox* m_checkBoxMqttAllowWrites = nullptr;
    QCheckBox* m_checkBoxMqttTls = nullptr;
    QLineEdit* m_editMqttCAFile = nullptr;
    QLineEdit* m_editMqttCertFile = nullptr;
    QLineEdit* m_editMqttKeyFile = nullptr;
    QLineEdit* m_editAlarmCommDelay = nullptr;
    QCheckBox* m_checkBoxAlarmSound = nullptr;
    QCheckBox* m_checkBoxEnableNotify = nullptr;
    QLineEdit* m_editNotifySmtpUrl = nullptr;
    QComboBox* m_comboBoxNotifyStartTls = nullptr;
    QLineEdit* m_editNotifySmtpUser = nullptr;
    QLineEdit* m_editNotifySmtpPassword = nullptr;
    QLineEdit* m_editNotifyFrom = nullptr;
    QLineEdit* m_editNotifyTo = nullptr;
    QLineEdit* m_editNotifyWebhookUrl = nullptr;
    QLineEdit* m_editNotifyWebhookHeader = nullptr;
    QComboBox* m_comboBoxNotifyMinPriority = nullptr;
    QSpinBox* m_spinBoxNotifyMaxPerHour = nullptr;
    QPushButton* m_buttonNotifyTest = nullptr;
    std::jthread m_notifyTest; // the test message under way; joined before the widgets go
};

} // namespace halvane
