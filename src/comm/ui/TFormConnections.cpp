#include "TFormConnections.h"

#include "ConnectionsHost.h"
#include "DialogWidgets.h"
#include "MessageBox.h"
#include "ProfileStore.h"
#include "TagVocabulary.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

namespace halvane {

namespace {

constexpr int kListedPorts = 30; // "COM1" .. "COM30"
constexpr int kPortItemLength = 20;
constexpr int kTimeoutSuggestions[] = {10,  20,  30,  40,  50,   100,  150,  200,  250, 300,
                                       350, 400, 450, 500, 1000, 2000, 3000, 4000, 5000};
constexpr int kSerialIntervalSuggestions[] = {200, 300, 400, 500, 1000, 2000, 3000, 5000, 10000};
constexpr int kNetworkIntervalSuggestions[] = {10,  20,  30,   40,   50,   100,  200,  300,
                                               400, 500, 1000, 2000, 3000, 5000, 10000};
constexpr const char* kDefaultsButtonNames[] = {"ButtonDefaults1", "ButtonDefault2",
                                                "ButtonDefault3"};

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Name(const char* prefix, int port) {
    return QString::fromLatin1(prefix) + QString::number(port);
}

QComboBox* NewList(QWidget* parent, const QString& name, const QStringList& items) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    return list;
}

QStringList ItemTexts(std::span<const int> numbers, const QString& suffix = {}) {
    QStringList texts;
    std::ranges::transform(numbers, std::back_inserter(texts),
                           [&suffix](int number) { return QString::number(number) + suffix; });
    return texts;
}

QStringList ItemTexts(std::span<const std::string_view> names) {
    QStringList texts;
    std::ranges::transform(names, std::back_inserter(texts), Text);
    return texts;
}

// A list whose text the user may also type; the items are suggestions.
QComboBox* NewEditableList(QWidget* parent, const QString& name, std::span<const int> items) {
    QComboBox* list = NewList(parent, name, ItemTexts(items));
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setCompleter(nullptr); // a typed "15" stays 15, not the suggestion 150
    return list;
}

void AddRow(QGridLayout* grid, const QString& label, QWidget* field, bool inMilliseconds = false) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(label, field->parentWidget()), row, 0);
    grid->addWidget(field, row, 1);
    if (inMilliseconds)
        grid->addWidget(new QLabel(QObject::tr("ms"), field->parentWidget()), row, 2);
}

QLabel* NewStatusLabel(QWidget* parent, int connection) {
    auto* label = new QLabel(parent);
    label->setObjectName(Name("LabelStatus", connection));
    label->setToolTip(QObject::tr("Current connection status"));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QCheckBox* NewReconnectBox(QWidget* parent, int connection) {
    auto* box = new QCheckBox(QObject::tr("Reconnect automatically"), parent);
    box->setObjectName(Name("CheckBoxReconnect", connection));
    return box;
}

QComboBox* NewWriteModeList(QWidget* parent, int connection) {
    return NewList(parent, Name("ComboBoxWriteMode", connection), ItemTexts(WriteModeNames()));
}

WriteMode WriteModeAt(const QComboBox* list) {
    return list->currentIndex() == static_cast<int>(WriteMode::WhenSet) ? WriteMode::WhenSet
                                                                        : WriteMode::Cyclic;
}

QCheckBox* NewCombineBox(QWidget* parent, int connection) {
    auto* box = new QCheckBox(QObject::tr("Combine requests"), parent);
    box->setObjectName(Name("CheckBoxCombine", connection));
    return box;
}

QCheckBox* NewEnabledBox(QWidget* parent, int connection) {
    auto* box = new QCheckBox(QObject::tr("Enabled"), parent);
    box->setObjectName(Name("CheckBox", connection));
    return box;
}

// The ports "COM1" .. "COM30", each with the device it reaches now. Filling the list is
// no choice of the user's: no duplicate-port warning.
void FillPortList(QComboBox* list) {
    const QSignalBlocker filling(list);
    list->clear();
    for (int comport = 1; comport <= kListedPorts; ++comport)
        list->addItem(Text(PortItemText(comport)), comport);
}

// A stored port beyond the list gets an item of its own, so that saving keeps it.
void SelectPort(QComboBox* list, int comport) {
    if (list->findData(comport) < 0)
        list->addItem(Text(PortItemText(comport)), comport);
    list->setCurrentIndex(list->findData(comport));
}

std::string EditText(const QComboBox* list) {
    return list->currentText().toStdString();
}

} // namespace

TFormConnections::TFormConnections(ProfileStore& store, ConnectionsHost& host, QWidget* parent)
    : QDialog(parent), m_store(store), m_host(host) {
    setObjectName("FormConnections");
    setWindowTitle(tr("Connections"));
    BuildWindow();
    setFixedSize(sizeHint());
}

void TFormConnections::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    auto* topText = new QLabel(
        tr("Connections are used to communicate with your Modbus devices. You can specify up to "
           "3 serial ports and %1. Every enabled connection is handled by separate thread. "
           "Disable not used connections (program does not open them).")
            .arg(Text(kNetworkConnectionName)),
        this);
    topText->setWordWrap(true);
    layout->addWidget(topText);
    auto* groups = new QGridLayout;
    for (int port = 1; port <= kSerialConnections; ++port)
        groups->addWidget(BuildSerialGroup(port), (port - 1) / 2, (port - 1) % 2);
    groups->addWidget(BuildNetworkGroup(), 1, 1);
    layout->addLayout(groups);
    layout->addLayout(BuildButtons());
}

QGroupBox* TFormConnections::BuildSerialGroup(int port) {
    auto* group = new QGroupBox(tr("Serial port #%1").arg(port), this);
    group->setObjectName(Name("GroupBoxSerial", port));
    SerialControls& controls = Serial(port);
    controls.status = NewStatusLabel(group, port);
    controls.enabled = NewEnabledBox(group, port);
    controls.panel = BuildSerialPanel(port, controls);
    auto* layout = new QGridLayout(group);
    layout->addWidget(controls.status, 0, 0);
    layout->addWidget(controls.enabled, 0, 1, Qt::AlignRight);
    layout->addWidget(controls.panel, 1, 0, 1, 2);
    connect(controls.enabled, &QCheckBox::toggled, this, [this, port] { CheckBoxClick(port); });
    connect(controls.port, &QComboBox::currentIndexChanged, this,
            [this, port] { ComboBoxPortChange(port); });
    return group;
}

QWidget* TFormConnections::BuildSerialPanel(int port, SerialControls& controls) {
    auto* panel = new QWidget(this);
    panel->setObjectName(Name("Panel", port));
    BuildSerialLists(panel, port, controls);
    auto* defaults = new QPushButton(tr("Set defaults"), panel);
    defaults->setObjectName(kDefaultsButtonNames[port - 1]);
    connect(defaults, &QPushButton::clicked, this, [this, port] { ButtonDefaultsClick(port); });

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    AddRow(grid, tr("Serial port:"), controls.port);
    AddRow(grid, tr("Baud rate:"), controls.baudRate);
    AddRow(grid, tr("Protocol:"), controls.protocol);
    AddRow(grid, tr("Data bits:"), controls.dataBits);
    AddRow(grid, tr("Parity:"), controls.parity);
    AddRow(grid, tr("Stop bits:"), controls.stopBits);
    AddRow(grid, tr("Timeout:"), controls.timeout, true);
    AddRow(grid, tr("Polling interval:"), controls.interval, true);
    AddRow(grid, tr("Write outputs:"), controls.writeMode);
    grid->addWidget(controls.reconnect, grid->rowCount(), 1);
    grid->addWidget(controls.combine, grid->rowCount(), 1);
    grid->addWidget(defaults, grid->rowCount(), 1, Qt::AlignRight);
    return panel;
}

void TFormConnections::BuildSerialLists(QWidget* panel, int port, SerialControls& controls) {
    controls.port = NewList(panel, Name("ComboBoxPort", port), {});
    // Wide enough for "COM30 (/dev/ttyS29)"; the list is filled at every show.
    controls.port->setMinimumContentsLength(kPortItemLength);
    controls.port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    controls.baudRate =
        NewList(panel, Name("ComboBoxBaudRate", port), ItemTexts(BaudRates(), QObject::tr(" bps")));
    controls.protocol =
        NewList(panel, Name("ComboBoxProtocol", port), ItemTexts(SerialProtocolNames()));
    controls.dataBits = NewList(panel, Name("ComboBoxDataBits", port), ItemTexts(DataBitsTable()));
    controls.parity = NewList(panel, Name("ComboBoxParity", port), ItemTexts(ParityNames()));
    controls.stopBits = NewList(panel, Name("ComboBoxStopBits", port), ItemTexts(StopBitsNames()));
    controls.timeout = NewEditableList(panel, Name("ComboBoxTimeout", port), kTimeoutSuggestions);
    controls.interval =
        NewEditableList(panel, Name("ComboBoxInterval", port), kSerialIntervalSuggestions);
    controls.reconnect = NewReconnectBox(panel, port);
    controls.writeMode = NewWriteModeList(panel, port);
    controls.combine = NewCombineBox(panel, port);
}

QGroupBox* TFormConnections::BuildNetworkGroup() {
    auto* group = new QGroupBox(Text(kNetworkConnectionName), this);
    group->setObjectName("GroupBoxNetwork");
    m_network.status = NewStatusLabel(group, kNetworkConnection);
    m_network.enabled = NewEnabledBox(group, kNetworkConnection);
    m_network.host = new QLineEdit(group);
    m_network.host->setObjectName("EditHost");
    m_network.port = new QLineEdit(group);
    m_network.port->setObjectName("EditEthPort");
    auto* protocol = new QLineEdit(tr("Modbus TCP"), group);
    protocol->setObjectName("EditEthProtocol");
    protocol->setEnabled(false);
    m_network.timeout = NewEditableList(group, "ComboBoxTimeout4", kTimeoutSuggestions);
    m_network.interval = NewEditableList(group, "ComboBoxInterval4", kNetworkIntervalSuggestions);
    m_network.reconnect = NewReconnectBox(group, kNetworkConnection);
    m_network.writeMode = NewWriteModeList(group, kNetworkConnection);
    m_network.combine = NewCombineBox(group, kNetworkConnection);
    auto* defaults = new QPushButton(tr("Set defaults"), group);
    defaults->setObjectName("ButtonDefaultsEth");
    connect(defaults, &QPushButton::clicked, this, &TFormConnections::ButtonDefaultsEthClick);

    auto* grid = new QGridLayout(group);
    grid->addWidget(m_network.status, 0, 0);
    grid->addWidget(m_network.enabled, 0, 1, Qt::AlignRight);
    AddRow(grid, tr("Slave IP address or host name:"), m_network.host);
    AddRow(grid, tr("Port:"), m_network.port);
    AddRow(grid, tr("Protocol:"), protocol);
    AddRow(grid, tr("Timeout:"), m_network.timeout, true);
    AddRow(grid, tr("Polling interval:"), m_network.interval, true);
    AddRow(grid, tr("Write outputs:"), m_network.writeMode);
    grid->addWidget(m_network.reconnect, grid->rowCount(), 1);
    grid->addWidget(m_network.combine, grid->rowCount(), 1);
    grid->addWidget(defaults, grid->rowCount(), 1, Qt::AlignRight);
    grid->setRowStretch(grid->rowCount(), 1);
    return group;
}

QLayout* TFormConnections::BuildButtons() {
    auto* buttons = new QHBoxLayout;
    QPushButton* save = AddSaveCancelButtons(buttons, this);
    connect(save, &QPushButton::clicked, this, &TFormConnections::ButtonSaveClick);
    return buttons;
}

// A show of the window system's own (a restore from minimised) keeps what is typed.
void TFormConnections::showEvent(QShowEvent* event) {
    if (event->spontaneous()) {
        QDialog::showEvent(event);
        return;
    }
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - rect().center());
    KeepWithinScreen(*this);
    QDialog::showEvent(event);
    FormShow();
}

void TFormConnections::done(int result) {
    QDialog::done(result);
    m_host.ShowConnectionStatus();
}

// Loads what is stored now; the port lists name the devices as they are now.
void TFormConnections::FormShow() {
    for (SerialControls& controls : m_serial)
        FillPortList(controls.port);
    const ConnectionsDialogValues values = LoadConnectionsDialogValues(m_store);
    for (int port = 1; port <= kSerialConnections; ++port)
        LoadSerialPanel(port, values.serial[static_cast<size_t>(port - 1)]);
    LoadNetworkPanel(values.network);
    if (!m_store.ReadError().empty())
        MessageBox::Warning(this, tr("Cannot save changes"),
                            tr("Unknown error while reading connection settings from "
                               "configuration file. Close the program and try again."));
    ShowConnectionStates();
}

void TFormConnections::LoadSerialPanel(int port, const SerialPanelValues& values) {
    SerialControls& controls = Serial(port);
    {
        // Loading is no choice of the user's: no duplicate-port warning.
        const QSignalBlocker loading(controls.port);
        SelectPort(controls.port, values.comport);
    }
    controls.baudRate->setCurrentIndex(values.baudrateId);
    controls.protocol->setCurrentIndex(values.protocolId);
    controls.dataBits->setCurrentIndex(values.databitsId);
    controls.parity->setCurrentIndex(values.parityId);
    controls.stopBits->setCurrentIndex(values.stopbitsId);
    controls.timeout->setEditText(Text(values.timeout));
    controls.interval->setEditText(Text(values.interval));
    controls.reconnect->setChecked(values.reconnect);
    controls.writeMode->setCurrentIndex(static_cast<int>(values.writeMode));
    controls.combine->setChecked(values.combine);
    controls.enabled->setChecked(values.enabled);
    CheckBoxClick(port);
}

void TFormConnections::LoadNetworkPanel(const NetworkPanelValues& values) {
    m_network.enabled->setChecked(values.enabled);
    m_network.host->setText(Text(values.host));
    m_network.port->setText(Text(values.port));
    m_network.timeout->setEditText(Text(values.timeout));
    m_network.interval->setEditText(Text(values.interval));
    m_network.reconnect->setChecked(values.reconnect);
    m_network.writeMode->setCurrentIndex(static_cast<int>(values.writeMode));
    m_network.combine->setChecked(values.combine);
}

SerialPanelValues TFormConnections::ReadSerialPanel(int port) const {
    const SerialControls& controls = Serial(port);
    SerialPanelValues values;
    values.enabled = controls.enabled->isChecked();
    values.comport = controls.port->currentData().toInt();
    values.baudrateId = controls.baudRate->currentIndex();
    values.protocolId = controls.protocol->currentIndex();
    values.databitsId = controls.dataBits->currentIndex();
    values.parityId = controls.parity->currentIndex();
    values.stopbitsId = controls.stopBits->currentIndex();
    values.timeout = EditText(controls.timeout);
    values.interval = EditText(controls.interval);
    values.reconnect = controls.reconnect->isChecked();
    values.writeMode = WriteModeAt(controls.writeMode);
    values.combine = controls.combine->isChecked();
    return values;
}

NetworkPanelValues TFormConnections::ReadNetworkPanel() const {
    NetworkPanelValues values;
    values.enabled = m_network.enabled->isChecked();
    values.host = m_network.host->text().toStdString();
    values.port = m_network.port->text().toStdString();
    values.timeout = EditText(m_network.timeout);
    values.interval = EditText(m_network.interval);
    values.reconnect = m_network.reconnect->isChecked();
    values.writeMode = WriteModeAt(m_network.writeMode);
    values.combine = m_network.combine->isChecked();
    return values;
}

ConnectionsDialogValues TFormConnections::ReadControls() const {
    ConnectionsDialogValues values;
    for (int port = 1; port <= kSerialConnections; ++port)
        values.serial[static_cast<size_t>(port - 1)] = ReadSerialPanel(port);
    values.network = ReadNetworkPanel();
    return values;
}

// "Connected" or "Disconnected" for each connection; "Unknown" for all when one cannot
// be told.
void TFormConnections::ShowConnectionStates() {
    std::array<std::optional<bool>, kConnectionCount> open;
    for (int n = 1; n <= kConnectionCount; ++n)
        open[static_cast<size_t>(n - 1)] = m_host.IsConnectionOpen(n);
    const bool known =
        std::ranges::all_of(open, [](const auto& state) { return state.has_value(); });
    for (int n = 1; n <= kConnectionCount; ++n) {
        QLabel* label = n == kNetworkConnection ? m_network.status : Serial(n).status;
        const std::optional<bool> state = open[static_cast<size_t>(n - 1)];
        label->setText(!known ? tr("Unknown") : *state ? tr("Connected") : tr("Disconnected"));
    }
}

void TFormConnections::CheckBoxClick(int port) {
    Serial(port).panel->setEnabled(Serial(port).enabled->isChecked());
}

void TFormConnections::ComboBoxPortChange(int port) {
    if (PortOfAnotherEnabled(ReadControls(), port - 1))
        MessageBox::Show(this, QMessageBox::Warning, tr("Cannot specify the same port"),
                         tr("This port has been already specified. You cannot use the same "
                            "port in more than one connections."));
}

void TFormConnections::ButtonDefaultsClick(int port) {
    SerialPanelValues values = ReadSerialPanel(port);
    SetSerialDefaults(values);
    LoadSerialPanel(port, values);
}

void TFormConnections::ButtonDefaultsEthClick() {
    NetworkPanelValues values = ReadNetworkPanel();
    SetNetworkDefaults(values);
    LoadNetworkPanel(values);
}

void TFormConnections::ButtonSaveClick() {
    if (!Save())
        return;
    RestartCommunication();
    accept();
}

// Writes the settings; false, after saying why, when they could not all be written.
bool TFormConnections::Save() {
    const ConnectionsSaveResult result = SaveConnectionsDialogValues(m_store, ReadControls());
    if (result == ConnectionsSaveResult::WriteFailed)
        MessageBox::Error(this, tr("Cannot save changes"),
                          tr("Unknown error while saving changes. Please make sure your disk "
                             "folder is not in read-only mode."));
    else if (result == ConnectionsSaveResult::BadNumber)
        MessageBox::Error(this, tr("Cannot save changes"),
                          tr("Cannot save changes. Please make sure all values are correct "
                             "(e.g. timeouts, intervals)."));
    return result == ConnectionsSaveResult::Saved;
}

void TFormConnections::RestartCommunication() {
    m_host.ShutdownConnections();
    if (!m_host.SetupConnections())
        MessageBox::Show(this, QMessageBox::Warning, tr("Cannot setup or open serial ports"),
                         tr("Cannot properly configure or open one or more of the enabled serial "
                            "ports. Your communication may not work properly. "));
}

} // namespace halvane
