#include "TFormSettings.h"

#include "CLog.h"
#include "CurlDelivery.h"
#include "DialogWidgets.h"
#include "DocumentPath.h"
#include "MessageBox.h"
#include "Notifier.h"
#include "OpenWithDesktop.h"
#include "ProfileStore.h"
#include "TFormEditStyles.h"
#include "TextStyles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace halvane {

namespace {

constexpr int kMinimumWidth = 480;
constexpr int kNumberWidth = 80;
constexpr int kSeparatorWidth = 50;
constexpr int kMostMessagesPerHour = 1'000'000;

QLabel* NewText(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QString RestartText() {
    return TFormSettings::tr("Program must be restarted in order for the changes to take effect.");
}

// The logger reads its switch, interval and separator at every tick; the retention and the
// file's header only when it starts.
QString HistoryChangesText() {
    return TFormSettings::tr("History starts, stops and follows a new interval at once after "
                             "saving; a new list separator applies from the next sample on (the "
                             "header of the day's file at the next start). Retention time takes "
                             "effect at the next start.");
}

// The journal, like the history's retention and header, follows its folder from the next start.
QString JournalFolderText() {
    return TFormSettings::tr("The alarm and event journal is written to the journal folder (empty: "
                             "\"events\" in the data root; a relative path is taken from the data "
                             "root). A new folder takes effect at the next start.");
}

// A field in a row of `grid`: its label before it and its unit, if any, after it.
void AddField(QGridLayout* grid, const QString& label, QWidget* field, const QString& unit = {}) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(label, field->parentWidget()), row, 0);
    grid->addWidget(field, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit, field->parentWidget()), row, 2);
}

QLineEdit* NewNumberEdit(const char* name, QWidget* parent) {
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setFixedWidth(kNumberWidth);
    return edit;
}

// The history writes the separator as one byte: a typed one is a printable ASCII character.
QComboBox* NewSeparatorBox(QWidget* parent) {
    auto* box = Named(new QComboBox(parent), "ComboBoxSeparator");
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems({",", ";"});
    box->lineEdit()->setMaxLength(1);
    box->setValidator(new QRegularExpressionValidator(QRegularExpression("[ -~]?"), box));
    box->setFixedWidth(kSeparatorWidth);
    return box;
}

QString Shown(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Typed(const QString& text) {
    return text.toStdString();
}

} // namespace

TFormSettings::TFormSettings(ProfileStore& config, TFormEditStyles& styleEditor, QWidget* parent)
    : QDialog(parent), m_config(config), m_formEditStyles(styleEditor) {
    setObjectName("FormSettings");
    setWindowTitle(tr("Settings"));
    setMinimumWidth(kMinimumWidth);
    m_pageControlSettings = Named(new QTabWidget(this), "PageControlSettings");
    m_tabSheetStyles = BuildStylesPage();
    m_pageControlSettings->addTab(m_tabSheetStyles, tr("Styles"));
    QWidget* history = BuildHistoryPage();
    m_pageControlSettings->addTab(history, tr("History"));
    m_pageControlSettings->addTab(BuildWebServerPage(), tr("Web server"));
    m_pageControlSettings->addTab(BuildOthersPage(), tr("Others"));
    m_pageControlSettings->addTab(BuildMqttPage(), tr("MQTT"));
    m_pageControlSettings->addTab(BuildAlarmsPage(), tr("Alarms"));
    m_pageControlSettings->addTab(BuildNotifyPage(), tr("Notifications"));
    m_pageControlSettings->setCurrentWidget(history); // in front when the dialog first opens
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pageControlSettings);
    layout->addWidget(BuildButtonsRow());
    connect(m_pageControlSettings, &QTabWidget::currentChanged, this,
            &TFormSettings::PageControlSettingsChange);
}

TFormSettings::~TFormSettings() = default;

QWidget* TFormSettings::BuildStylesPage() {
    auto* page = Named(new QWidget(m_pageControlSettings), "TabSheetStyles");
    m_memoStyles = Named(new QPlainTextEdit(tr("No styles"), page), "MemoStyles");
    m_memoStyles->setReadOnly(true);
    auto* edit = NewButton(tr("Edit &styles..."), "ButtonEditStyles", page, false);
    auto* add = NewButton(tr("Add style"), "ButtonAddStyle", page, false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(edit);
    buttons->addWidget(add);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(NewText(tr("Styles define look (e.g. fonts, colors) of tags values displayed "
                                 "on screens. Change of the style will apply for all objects "
                                 "using it, regardless of where they are located."),
                              page));
    layout->addWidget(new QLabel(tr("Styles:"), page));
    layout->addWidget(m_memoStyles, 1);
    layout->addLayout(buttons);
    connect(edit, &QPushButton::clicked, this, &TFormSettings::ButtonEditStylesClick);
    connect(add, &QPushButton::clicked, this, &TFormSettings::ButtonAddStyleClick);
    return page;
}

QWidget* TFormSettings::BuildHistoryPage() {
    auto* page = Named(new QWidget(m_pageControlSettings), "TabSheetHistory");
    m_checkBoxEnableHistory =
        Named(new QCheckBox(tr("Enable history"), page), "CheckBoxEnableHistory");
    m_editInterval = NewNumberEdit("EditInterval", page);
    m_editRetention = NewNumberEdit("EditRetention", page);
    m_comboBoxSeparator = NewSeparatorBox(page);
    auto* open = NewButton(tr("Open folder containing history files..."), "ButtonOpenHistoryFolder",
                           page, false);
    m_editEventsFolder = Named(new QLineEdit(page), "EditEventsFolder");
    auto* openEvents =
        NewButton(tr("Open journal folder..."), "ButtonOpenEventsFolder", page, false);
    auto* fields = new QGridLayout;
    AddField(fields, tr("Interval:"), m_editInterval, tr("seconds"));
    AddField(fields, tr("Retention time:"), m_editRetention, tr("days"));
    AddField(fields, tr("List separator:"), m_comboBoxSeparator);
    fields->setColumnStretch(3, 1);
    auto* journal = new QGridLayout;
    AddField(journal, tr("Journal folder:"), m_editEventsFolder);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_checkBoxEnableHistory);
    layout->addLayout(fields);
    layout->addWidget(open, 0, Qt::AlignLeft);
    layout->addWidget(NewText(tr("Every specified interval, data is stored in CSV (Comma Separated "
                                 "Values) files. Every file contains samples of each data tag "
                                 "from one day. Files older that Retention time will be removed. "
                                 "CSV files can be opened with Microsoft Excel."),
                              page));
    layout->addWidget(NewText(HistoryChangesText(), page));
    layout->addLayout(journal);
    layout->addWidget(openEvents, 0, Qt::AlignLeft);
    layout->addWidget(NewText(JournalFolderText(), page));
    layout->addStretch(1);
    connect(open, &QPushButton::clicked, this, &TFormSettings::ButtonOpenHistoryFolderClick);
    connect(openEvents, &QPushButton::clicked, this, &TFormSettings::ButtonOpenEventsFolderClick);
    return page;
}

QWidget* TFormSettings::BuildWebServerPage() {
    auto* page = Named(new QWidget(m_pageControlSettings), "TabSheetWebServer");
    m_checkBoxEnableWebServer =
        Named(new QCheckBox(tr("Enable Web server"), page), "CheckBoxEnableWebServer");
    m_editWebPort = NewNumberEdit("EditWebPort", page);
    m_editWebUsername = Named(new QLineEdit(page), "EditWebUsername");
    m_editWebPassword = Named(new QLineEdit(page), "EditWebPassword");
    m_editWebPassword->setEchoMode(QLineEdit::Password);
    m_editWebPassword->setStyleSheet("lineedit-password-character: 42"); // "*"
    auto* open =
        NewButton(tr("Open web server root directory..."), "ButtonOpenWebRoot", page, false);
    auto* port = new QGridLayout;
    AddField(port, tr("Port:"), m_editWebPort);
    port->setColumnStretch(2, 1);
    auto* credentials = new QGridLayout;
    AddField(credentials, tr("Username:"), m_editWebUsername);
    AddField(credentials, tr("Password:"), m_editWebPassword);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_checkBoxEnableWebServer);
    layout->addLayout(port);
    layout->addWidget(NewText(
        tr("Authentication (leave the below fields empty to disable authentication):"), page));
    layout->addLayout(credentials);
    layout->addWidget(open, 0, Qt::AlignLeft);
    layout->addWidget(NewText(tr("Web server allows user to access tag values remotely via web "
                                 "browser. Web server can serve any HTML file located in http "
                                 "directory. Embedded template engine can generate HTML content "
                                 "from templates (TPL files) containing markers ${...}."),
                              page));
    layout->addWidget(NewText(RestartText(), page));
    layout->addStretch(1);
    connect(open, &QPushButton::clicked, this, &TFormSettings::ButtonOpenWebRootClick);
    return page;
}

QWidget* TFormSettings::BuildOthersPage() {
    auto* page = Named(new QWidget(m_pageControlSettings), "TabSheetOthers");
    m_checkBoxCRC = Named(
        new QCheckBox(tr("Ignore CRC or LRC in incoming frames (check for testing only)"), page),
        "CheckBoxCRC");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_checkBoxCRC);
    layout->addWidget(NewText(RestartText(), page));
    layout->addStretch(1);
    return page;
}

QWidget* TFormSettings::BuildMqttPage() {
    auto* page = Named(new QWidget(m_pageControlSettings), "TabSheetMqtt");
    m_checkBoxEnableMqtt =
        Named(new QCheckBox(tr("Publish tags to an MQTT broker"), page), "CheckBoxEnableMqtt");
    const auto newEdit = [page](const char* name) { return Named(new QLineEdit(page), name); };
    m_editMqttHost = newEdit("EditMqttHost");
    m_editMqttPort = NewNumberEdit("EditMqttPort", page);
    m_editMqttClientId = newEdit("EditMqttClientId");
    m_editMqttUsername = newEdit("EditMqttUsername");
    m_editMqttPassword = newEdit("EditMqttPassword");
    m_editMqttPassword->setEchoMode(QLineEdit::Password);
    m_editMqttTopicPrefix = newEdit("EditMqttTopicPrefix");
    m_comboBoxMqttQoS = Named(new QComboBox(page), "ComboBoxMqttQoS");
    m_comboBoxMqttQoS->addItems({tr("0 (at most once)"), tr("1 (at least once)")});
    m_editMqttRepublish = NewNumberEdit("EditMqttRepublish", page);
    m_checkBoxMqttAllowWrites =
        Named(new QCheckBox(tr("Allow writes of output tags (<prefix>/set/<tag number>)"), page),
              "CheckBoxMqttAllowWrites");
    m_checkBoxMqttTls = Named(new QCheckBox(tr("Use TLS"), page), "CheckBoxMqttTls");
    m_editMqttCAFile = newEdit("EditMqttCAFile");
    m_editMqttCertFile = newEdit("EditMqttCertFile");
    m_editMqttKeyFile = newEdit("EditMqttKeyFile");
    auto* fields = new QGridLayout;
    AddField(fields, tr("Broker host:"), m_editMqttHost);
    AddField(fields, tr("Port:"), m_editMqttPort);
    AddField(fields, tr("Client id:"), m_editMqttClientId);
    AddField(fields, tr("Username:"), m_editMqttUsername);
    AddField(fields, tr("Password:"), m_editMqttPassword);
    AddField(fields, tr("Topic prefix:"), m_editMqttTopicPrefix);
    AddField(fields, tr("QoS:"), m_comboBoxMqttQoS);
    AddField(fields, tr("Republish every:"), m_editMqttRepublish, tr("seconds"));
    auto* tls = new QGridLayout;
    AddField(tls, tr("CA file:"), m_editMqttCAFile);
    AddField(tls, tr("Client certificate:"), m_editMqttCertFile);
    AddField(tls, tr("Client key:"), m_editMqttKeyFile);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_checkBoxEnableMqtt);
    layout->addLayout(fields);
    layout->addWidget(m_checkBoxMqttAllowWrites);
    layout->addWidget(m_checkBoxMqttTls);
    layout->addLayout(tls);
    layout->addWidget(NewText(tr("Every tag is published, retained, on <prefix>/tag/<tag number> "
                                 "whenever it changes, and every tag again at the republish "
                                 "interval. Changes take effect when they are saved."),
                              page));
    layout->addStretch(1);
    return page;
}

QWidget* TFormSettings::BuildAlarmsPage() {
    auto* page = Named(new QWidget(m_pageControlSettings), "TabSheetAlarms");
    m_editAlarmCommDelay = NewNumberEdit("EditAlarmCommDelay", page);
    m_checkBoxAlarmSound =
        Named(new QCheckBox(tr("Sound for priority 1 and 2 alarms"), page), "CheckBoxAlarmSound");
    auto* fields = new QGridLayout;
    AddField(fields, tr("Communication alarm after:"), m_editAlarmCommDelay,
             tr("seconds (0: none)"));
    fields->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(fields);
    layout->addWidget(m_checkBoxAlarmSound);
    layout->addWidget(NewText(RestartText(), page));
    layout->addStretch(1);
    return page;
}

QWidget* TFormSettings::BuildNotifyPage() {
    auto* page = Named(new QWidget(m_pageControlSettings), "TabSheetNotify");
    m_checkBoxEnableNotify =
        Named(new QCheckBox(tr("Send notifications of alarms"), page), "CheckBoxEnableNotify");
    const auto newEdit = [page](const char* name) { return Named(new QLineEdit(page), name); };
    m_editNotifySmtpUrl = newEdit("EditNotifySmtpUrl");
    m_editNotifySmtpUrl->setPlaceholderText("smtp://host:587");
    m_comboBoxNotifyStartTls = Named(new QComboBox(page), "ComboBoxNotifyStartTls");
    for (const StartTls mode : {StartTls::Required, StartTls::Optional, StartTls::Off})
        m_comboBoxNotifyStartTls->addItem(Shown(std::string(StartTlsName(mode))),
                                          static_cast<int>(mode));
    m_editNotifySmtpUser = newEdit("EditNotifySmtpUser");
    m_editNotifySmtpPassword = newEdit("EditNotifySmtpPassword");
    m_editNotifySmtpPassword->setEchoMode(QLineEdit::Password);
    m_editNotifyFrom = newEdit("EditNotifyFrom");
    m_editNotifyTo = newEdit("EditNotifyTo");
    m_editNotifyTo->setPlaceholderText(tr("addresses separated by ,"));
    m_editNotifyWebhookUrl = newEdit("EditNotifyWebhookUrl");
    m_editNotifyWebhookUrl->setPlaceholderText("https://host/path");
    m_editNotifyWebhookHeader = newEdit("EditNotifyWebhookHeader");
    m_editNotifyWebhookHeader->setPlaceholderText(tr("Name: value"));
    m_comboBoxNotifyMinPriority = Named(new QComboBox(page), "ComboBoxNotifyMinPriority");
    for (int priority = 1; priority <= kLowestPriority; ++priority)
        m_comboBoxNotifyMinPriority->addItem(QString::number(priority), priority);
    m_spinBoxNotifyMaxPerHour = Named(new QSpinBox(page), "SpinBoxNotifyMaxPerHour");
    m_spinBoxNotifyMaxPerHour->setRange(1, kMostMessagesPerHour);
    m_buttonNotifyTest = NewButton(tr("Send test message"), "ButtonNotifyTest", page, false);
    auto* mail = new QGridLayout;
    AddField(mail, tr("Mail server:"), m_editNotifySmtpUrl);
    AddField(mail, tr("STARTTLS:"), m_comboBoxNotifyStartTls);
    AddField(mail, tr("Username:"), m_editNotifySmtpUser);
    AddField(mail, tr("Password:"), m_editNotifySmtpPassword);
    AddField(mail, tr("From:"), m_editNotifyFrom);
    AddField(mail, tr("To:"), m_editNotifyTo);
    AddField(mail, tr("Webhook address:"), m_editNotifyWebhookUrl);
    AddField(mail, tr("Webhook header:"), m_editNotifyWebhookHeader);
    AddField(mail, tr("Priorities 1 up to:"), m_comboBoxNotifyMinPriority);
    AddField(mail, tr("At most:"), m_spinBoxNotifyMaxPerHour, tr("messages an hour"));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_checkBoxEnableNotify);
    layout->addLayout(mail);
    layout->addWidget(m_buttonNotifyTest, 0, Qt::AlignLeft);
    layout->addWidget(NewText(tr("A mail and a webhook call (each when its address is set) are "
                                 "sent when an alarm of a tag marked for notifications is raised "
                                 "and when it ends. Changes take effect when they are saved."),
                              page));
    layout->addStretch(1);
    connect(m_buttonNotifyTest, &QPushButton::clicked, this, &TFormSettings::ButtonNotifyTestClick);
    return page;
}

QWidget* TFormSettings::BuildButtonsRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    connect(AddSaveCancelButtons(layout, this), &QPushButton::clicked, this,
            &TFormSettings::ButtonSaveClick);
    return row;
}

// A show of the window system's own (a restore from minimised) keeps what is typed.
void TFormSettings::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        LoadSettings();
    QDialog::showEvent(event);
}

void TFormSettings::LoadSettings() {
    m_shown = LoadStationSettings(m_config);
    ShowSettings(m_shown);
    ShowMqttSettings(LoadMqttSettings(m_config));
    ShowAlarmFields(LoadAlarmFields(m_config));
    ShowNotifyOptions(LoadNotifyOptions(m_config));
    RebuildStyleList();
}

void TFormSettings::ShowSettings(const StationSettings& settings) {
    m_checkBoxEnableHistory->setChecked(settings.historyEnabled);
    m_editInterval->setText(Shown(settings.interval));
    m_editRetention->setText(Shown(settings.retention));
    m_comboBoxSeparator->setEditText(Shown(settings.separator));
    m_checkBoxEnableWebServer->setChecked(settings.webServerEnabled);
    m_editWebPort->setText(Shown(settings.webPort));
    m_editWebUsername->setText(Shown(settings.webUsername));
    m_editWebPassword->setText(Shown(settings.webPassword));
    m_checkBoxCRC->setChecked(settings.ignoreCrc);
}

StationSettings TFormSettings::TypedSettings() const {
    StationSettings settings = m_shown;
    settings.historyEnabled = m_checkBoxEnableHistory->isChecked();
    settings.interval = Typed(m_editInterval->text());
    settings.retention = Typed(m_editRetention->text());
    settings.separator = Typed(m_comboBoxSeparator->currentText());
    settings.webServerEnabled = m_checkBoxEnableWebServer->isChecked();
    settings.webPort = Typed(m_editWebPort->text());
    settings.webUsername = Typed(m_editWebUsername->text());
    settings.webPassword = Typed(m_editWebPassword->text());
    settings.ignoreCrc = m_checkBoxCRC->isChecked();
    return settings;
}

void TFormSettings::ShowMqttSettings(const MqttSettings& settings) {
    m_checkBoxEnableMqtt->setChecked(settings.enabled);
    m_editMqttHost->setText(Shown(settings.host));
    m_editMqttPort->setText(Shown(settings.port));
    m_editMqttClientId->setText(Shown(settings.clientId));
    m_editMqttUsername->setText(Shown(settings.username));
    m_editMqttPassword->setText(Shown(settings.password));
    m_editMqttTopicPrefix->setText(Shown(settings.topicPrefix));
    m_comboBoxMqttQoS->setCurrentIndex(settings.qos);
    m_editMqttRepublish->setText(Shown(settings.republish));
    m_checkBoxMqttAllowWrites->setChecked(settings.allowWrites);
    m_checkBoxMqttTls->setChecked(settings.tls);
    m_editMqttCAFile->setText(Shown(settings.caFile));
    m_editMqttCertFile->setText(Shown(settings.certFile));
    m_editMqttKeyFile->setText(Shown(settings.keyFile));
}

MqttSettings TFormSettings::TypedMqttSettings() const {
    MqttSettings settings;
    settings.enabled = m_checkBoxEnableMqtt->isChecked();
    settings.host = Typed(m_editMqttHost->text());
    settings.port = Typed(m_editMqttPort->text());
    settings.clientId = Typed(m_editMqttClientId->text());
    settings.username = Typed(m_editMqttUsername->text());
    settings.password = Typed(m_editMqttPassword->text());
    settings.topicPrefix = Typed(m_editMqttTopicPrefix->text());
    settings.qos = m_comboBoxMqttQoS->currentIndex();
    settings.republish = Typed(m_editMqttRepublish->text());
    settings.allowWrites = m_checkBoxMqttAllowWrites->isChecked();
    settings.tls = m_checkBoxMqttTls->isChecked();
    settings.caFile = Typed(m_editMqttCAFile->text());
    settings.certFile = Typed(m_editMqttCertFile->text());
    settings.keyFile = Typed(m_editMqttKeyFile->text());
    return settings;
}

void TFormSettings::ShowAlarmFields(const AlarmFields& settings) {
    m_editAlarmCommDelay->setText(Shown(settings.commDelay));
    m_checkBoxAlarmSound->setChecked(settings.sound);
    m_editEventsFolder->setText(Shown(settings.eventsFolder));
}

AlarmFields TFormSettings::TypedAlarmFields() const {
    AlarmFields settings;
    settings.commDelay = Typed(m_editAlarmCommDelay->text());
    settings.sound = m_checkBoxAlarmSound->isChecked();
    settings.eventsFolder = Typed(m_editEventsFolder->text());
    return settings;
}

void TFormSettings::ShowNotifyOptions(const NotifyOptions& options) {
    m_checkBoxEnableNotify->setChecked(options.enabled);
    m_editNotifySmtpUrl->setText(Shown(options.smtpUrl));
    m_comboBoxNotifyStartTls->setCurrentIndex(
        m_comboBoxNotifyStartTls->findData(static_cast<int>(options.smtpStartTls)));
    m_editNotifySmtpUser->setText(Shown(options.smtpUser));
    m_editNotifySmtpPassword->setText(Shown(options.smtpPassword));
    m_editNotifyFrom->setText(Shown(options.from));
    m_editNotifyTo->setText(Shown(options.to));
    m_editNotifyWebhookUrl->setText(Shown(options.webhookUrl));
    m_editNotifyWebhookHeader->setText(Shown(options.webhookHeader));
    m_comboBoxNotifyMinPriority->setCurrentIndex(
        m_comboBoxNotifyMinPriority->findData(options.minPriority));
    m_spinBoxNotifyMaxPerHour->setValue(options.maxPerHour);
}

NotifyOptions TFormSettings::TypedNotifyOptions() const {
    NotifyOptions options;
    options.enabled = m_checkBoxEnableNotify->isChecked();
    options.smtpUrl = Typed(m_editNotifySmtpUrl->text());
    options.smtpStartTls = static_cast<StartTls>(m_comboBoxNotifyStartTls->currentData().toInt());
    options.smtpUser = Typed(m_editNotifySmtpUser->text());
    options.smtpPassword = Typed(m_editNotifySmtpPassword->text());
    options.from = Typed(m_editNotifyFrom->text());
    options.to = Typed(m_editNotifyTo->text());
    options.webhookUrl = Typed(m_editNotifyWebhookUrl->text());
    options.webhookHeader = Typed(m_editNotifyWebhookHeader->text());
    options.minPriority = m_comboBoxNotifyMinPriority->currentData().toInt();
    options.maxPerHour = m_spinBoxNotifyMaxPerHour->value();
    return options;
}

void TFormSettings::RebuildStyleList() {
    QStringList names;
    std::ranges::transform(StyleListNames(m_config), std::back_inserter(names), Shown);
    m_memoStyles->setPlainText(names.isEmpty() ? tr("No styles") : names.join('\n'));
}

void TFormSettings::PageControlSettingsChange(int index) {
    if (m_pageControlSettings->widget(index) == m_tabSheetStyles)
        RebuildStyleList();
}

// The editor may have renamed styles.
void TFormSettings::ButtonEditStylesClick() {
    m_formEditStyles.exec();
    RebuildStyleList();
}

// The list is read again rather than appended to, so that the first style replaces the line
// "No styles".
void TFormSettings::ButtonAddStyleClick() {
    if (TFormEditStyles::AskToAddStyle(this, m_config))
        RebuildStyleList();
}

void TFormSettings::ButtonOpenHistoryFolderClick() {
    OpenWithDesktop(this, HistoryFolder());
}

void TFormSettings::ButtonOpenWebRootClick() {
    OpenWithDesktop(this, DocumentRoot());
}

// The folder the field names, saved or not.
void TFormSettings::ButtonOpenEventsFolderClick() {
    OpenWithDesktop(this, EventsFolderPath(Typed(m_editEventsFolder->text())));
}

// The values as typed, saved or not, off the window's thread: a server that does not answer
// holds up only the button, which comes back with the outcome.
void TFormSettings::ButtonNotifyTestClick() {
    m_buttonNotifyTest->setEnabled(false);
    setCursor(Qt::WaitCursor);
    m_notifyTest = std::jthread([this, options = TypedNotifyOptions()] {
        const std::optional<std::string> failure = SendTestMessage(options, NotifyStationName());
        QMetaObject::invokeMethod(
            this, [this, failure] { NotifyTestDone(failure); }, Qt::QueuedConnection);
    });
}

void TFormSettings::NotifyTestDone(const std::optional<std::string>& failure) {
    unsetCursor();
    m_buttonNotifyTest->setEnabled(true);
    if (failure)
        MessageBox::Warning(this, tr("Test message not sent"), Shown(*failure));
    else
        MessageBox::Show(this, QMessageBox::Information, tr("Test message"),
                         tr("Test message sent."));
}

// Every value is written even when a number is refused, all in one file write; the dialog then
// stays open with what the user typed.
void TFormSettings::ButtonSaveClick() {
    ProfileStore::Batch batch(m_config);
    const SettingsSaveOutcome outcome = SaveStationSettings(m_config, TypedSettings());
    const AlarmSaveOutcome alarms = SaveAlarmFields(m_config, TypedAlarmFields());
    // A page that shows what is stored writes nothing, so that opening and saving the dialog
    // adds no MQTT section; one that differs is written, even when it looks as it was shown
    // after a refused save.
    const MqttSettings typedMqtt = TypedMqttSettings();
    const MqttSaveOutcome mqtt = typedMqtt == LoadMqttSettings(m_config)
                                     ? MqttSaveOutcome{}
                                     : SaveMqttSettings(m_config, typedMqtt);
    // Notifications are stored whole or not at all: a refused value keeps every stored one.
    const NotifyOptions typedNotify = TypedNotifyOptions();
    const std::optional<std::string> notifyProblem = NotifyOptionsProblem(typedNotify);
    if (!notifyProblem && typedNotify != LoadNotifyOptions(m_config))
        SaveNotifyOptions(m_config, typedNotify);
    const bool written = batch.Commit();
    if (!outcome.timesValid)
        MessageBox::Show(
            this, QMessageBox::NoIcon, tr("Invalid numbers"),
            tr("Interval or Retention times are invalid. Please enter valid numbers."));
    if (!outcome.portValid)
        MessageBox::Show(this, QMessageBox::NoIcon, tr("Invalid numbers"),
                         tr("Invalid Web server Port. Please enter valid numbers."));
    if (!alarms.commDelayValid)
        MessageBox::Show(this, QMessageBox::NoIcon, tr("Invalid numbers"),
                         tr("Invalid Communication alarm delay. Please enter a whole number of "
                            "seconds, 0 or more."));
    if (!mqtt.portValid)
        MessageBox::Show(this, QMessageBox::NoIcon, tr("Invalid numbers"),
                         tr("Invalid MQTT broker Port. Please enter valid numbers."));
    if (!mqtt.republishValid)
        MessageBox::Show(this, QMessageBox::NoIcon, tr("Invalid numbers"),
                         tr("Invalid MQTT Republish interval. Please enter valid numbers."));
    if (!mqtt.prefixValid)
        MessageBox::Show(this, QMessageBox::NoIcon, tr("Invalid topic prefix"),
                         tr("The MQTT topic prefix must not be empty nor hold \"+\" or \"#\"."));
    if (notifyProblem)
        MessageBox::Show(this, QMessageBox::NoIcon, tr("Invalid notification settings"),
                         Shown(*notifyProblem));
    if (!written)
        MessageBox::Warning(this, tr("Configuration not saved"),
                            QString::fromStdString(m_config.LastError()));
    if (written && outcome == SettingsSaveOutcome{} && alarms == AlarmSaveOutcome{} &&
        mqtt == MqttSaveOutcome{} && !notifyProblem)
        accept();
}

} // namespace halvane
