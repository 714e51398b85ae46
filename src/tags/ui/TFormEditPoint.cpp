#include "TFormEditPoint.h"

#include "ConnectionDisplay.h"
#include "DialogWidgets.h"
#include "MessageBox.h"
#include "NotifyOptions.h"
#include "TFormFunction.h"
#include "TagVocabulary.h"
#include "WindowPlacement.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace halvane {

namespace {

constexpr QSize kDialogSize(687, 531);
constexpr int kNameLength = 64;
constexpr int kDescriptionLength = 255;
constexpr int kUnitLength = 10;
constexpr int kSlaveAddressLength = 16;
constexpr int kRegisterAddressLength = 5;
constexpr int kLinearNone = 0;
constexpr int kLinearLinearized = 1;
constexpr int kLinearFunction = 2;

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLineEdit* NewEdit(QWidget* parent, const char* name, int maxLength = 0) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    return edit;
}

QLabel* NewNote(const QString& text, QWidget* parent) {
    auto* note = new QLabel(text, parent);
    note->setWordWrap(true);
    QFont font = note->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    note->setFont(font);
    return note;
}

} // namespace

TFormEditPoint::TFormEditPoint(const ProfileStore& config, QWidget* parent)
    : QDialog(parent), m_config(config) {
    setObjectName("FormEditPoint");
    setWindowTitle(tr("Tag"));
    BuildWindow();
    m_formFunction = new TFormFunction(this);
    setFixedSize(kDialogSize.expandedTo(sizeHint()));
}

void TFormEditPoint::BuildWindow() {
    auto* layout = new QVBoxLayout(this);
    auto* topText = new QLabel(
        tr("Specify data tag properties, associated input to read data from (Modbus register), "
           "and mathematical function used to calculate a real (displayed) value from actual "
           "reading."),
        this);
    topText->setWordWrap(true);
    layout->addWidget(topText);

    auto* groups = new QHBoxLayout;
    layout->addLayout(groups);

    auto* tagGroup = new QGroupBox(tr("Tag specification"), this);
    tagGroup->setObjectName("GroupBoxTag");
    auto* tagGrid = new QGridLayout(tagGroup);
    m_editName = NewEdit(tagGroup, "EditName", kNameLength);
    m_editDescription = NewEdit(tagGroup, "EditDescription", kDescriptionLength);
    m_editUnit = NewEdit(tagGroup, "EditUnit", kUnitLength);
    m_comboBoxFormat = new QComboBox(tagGroup);
    m_comboBoxFormat->setObjectName("ComboBoxFormat");
    m_comboBoxFormat->setEditable(true);
    m_comboBoxFormat->setInsertPolicy(QComboBox::NoInsert);
    m_comboBoxFormat->addItems({"%.0f", "%0.1f", "%0.2f", "%0.3f", "%0.4f", "%0.5f", "%g", "%e"});
    m_comboBoxFormat->setToolTip(tr("C language printf format is used."));
    m_editId = NewEdit(tagGroup, "EditId");
    m_editId->setReadOnly(true);
    m_editId->setEnabled(false);
    tagGrid->addWidget(new QLabel(tr("Displayed name:"), tagGroup), 0, 0);
    tagGrid->addWidget(m_editName, 0, 1);
    tagGrid->addWidget(new QLabel(tr("Description (optional):"), tagGroup), 1, 0);
    tagGrid->addWidget(m_editDescription, 1, 1);
    tagGrid->addWidget(new QLabel(tr("Unit:"), tagGroup), 2, 0);
    tagGrid->addWidget(m_editUnit, 2, 1);
    tagGrid->addWidget(NewNote(tr("Unit of the real value (e.g. V, %)"), tagGroup), 3, 1);
    tagGrid->addWidget(new QLabel(tr("Display format:"), tagGroup), 4, 0);
    tagGrid->addWidget(m_comboBoxFormat, 4, 1);
    tagGrid->addWidget(NewNote(tr("Format of displayed value (use C printf format)"), tagGroup), 5,
                       1);
    tagGrid->addWidget(new QLabel(tr("Id:"), tagGroup), 6, 0);
    tagGrid->addWidget(m_editId, 6, 1);
    tagGrid->setRowStretch(7, 1);
    groups->addWidget(tagGroup);

    auto* inputGroup = new QGroupBox(tr("Input specification"), this);
    inputGroup->setObjectName("GroupBoxInput");
    auto* inputGrid = new QGridLayout(inputGroup);
    m_comboBoxCommunication = new QComboBox(inputGroup);
    m_comboBoxCommunication->setObjectName("ComboBoxCommunication");
    for (const PortInfo& port : Ports())
        m_comboBoxCommunication->addItem(Text(port.editorText));
    m_editComPort = NewEdit(inputGroup, "EditComPort");
    m_editComPort->setEnabled(false);
    m_editProtocol = NewEdit(inputGroup, "EditProtocol");
    m_editProtocol->setEnabled(false);
    m_editSlaveAddress = NewEdit(inputGroup, "EditSlaveAddress", kSlaveAddressLength);
    m_comboBoxFunction = new QComboBox(inputGroup);
    m_comboBoxFunction->setObjectName("ComboBoxFunction");
    for (const FunctionInfo& function : Functions())
        m_comboBoxFunction->addItem(Text(function.editorText));
    m_editRegisterAddr = NewEdit(inputGroup, "EditRegisterAddr", kRegisterAddressLength);
    m_labelRegHex = new QLabel(inputGroup);
    m_labelRegHex->setObjectName("LabelRegHex");
    auto* connection = new QHBoxLayout;
    connection->addWidget(new QLabel(tr("Port name: "), inputGroup));
    connection->addWidget(m_editComPort);
    connection->addWidget(new QLabel(tr("Protocol: "), inputGroup));
    connection->addWidget(m_editProtocol);
    auto* registerRow = new QHBoxLayout;
    registerRow->addWidget(m_editRegisterAddr);
    registerRow->addWidget(m_labelRegHex, 1);
    inputGrid->addWidget(new QLabel(tr("Communication port: "), inputGroup), 0, 0);
    inputGrid->addWidget(m_comboBoxCommunication, 0, 1);
    inputGrid->addLayout(connection, 1, 1);
    inputGrid->addWidget(new QLabel(tr("Slave address:"), inputGroup), 2, 0);
    inputGrid->addWidget(m_editSlaveAddress, 2, 1);
    inputGrid->addWidget(NewNote(tr("Address of the Modbus slave unit"), inputGroup), 3, 1);
    inputGrid->addWidget(new QLabel(tr("Modbus function:"), inputGroup), 4, 0);
    inputGrid->addWidget(m_comboBoxFunction, 4, 1);
    inputGrid->addWidget(NewNote(tr("Modbus function used to read or write data"), inputGroup), 5,
                         1);
    inputGrid->addWidget(new QLabel(tr("Register address:"), inputGroup), 6, 0);
    inputGrid->addLayout(registerRow, 6, 1);
    inputGrid->addWidget(
        NewNote(tr("Starting register decimal address (only 1 register is read at a time)"),
                inputGroup),
        7, 1);
    inputGrid->setRowStretch(8, 1);
    groups->addWidget(inputGroup);

    auto* pages = new QTabWidget(this);
    pages->setObjectName("PageControl1");
    layout->addWidget(pages, 1);

    auto* dataTypePage = new QWidget(pages);
    dataTypePage->setObjectName("TabSheetDataType");
    auto* dataTypeGrid = new QGridLayout(dataTypePage);
    m_comboBoxDataType = new QComboBox(dataTypePage);
    m_comboBoxDataType->setObjectName("ComboBoxDataType");
    auto* signBox = new QWidget(dataTypePage);
    auto* signLayout = new QVBoxLayout(signBox);
    signLayout->setContentsMargins(0, 0, 0, 0);
    m_radioButtonUnsigned = new QRadioButton(tr("Unsigned value"), signBox);
    m_radioButtonUnsigned->setObjectName("RadioButtonUnsigned");
    m_radioButtonUnsigned->setToolTip(tr("Unsigned option applies for integer types only."));
    m_radioButtonSigned = new QRadioButton(tr("Signed value"), signBox);
    m_radioButtonSigned->setObjectName("RadioButtonSigned");
    signLayout->addWidget(m_radioButtonUnsigned);
    signLayout->addWidget(m_radioButtonSigned);
    auto* byteOrder = new QLabel(tr("Byte order:"), dataTypePage);
    byteOrder->setToolTip(
        tr("Modbus devices use different byte order to represent numbers (esspecially floating "
           "point numbers). Refer to the device documentation or experiment to obtain proper "
           "number."));
    const auto newCheckBox = [](const QString& text, const char* name, QWidget* parent) {
        auto* box = new QCheckBox(text, parent);
        box->setObjectName(name);
        return box;
    };
    m_checkBoxSwapBytes = newCheckBox(tr("Swap bytes"), "CheckBoxSwapBytes", dataTypePage);
    m_checkBoxSwapDWords = newCheckBox(tr("Swap double words"), "CheckBoxSwapDWords", dataTypePage);
    m_checkBoxSwapWords = newCheckBox(tr("Swap words"), "CheckBoxSwapWords", dataTypePage);
    m_checkBoxReverseOrder =
        newCheckBox(tr("Reverse byte order"), "CheckBoxReverseOrder", dataTypePage);
    dataTypeGrid->addWidget(new QLabel(tr("Data type (Length):"), dataTypePage), 0, 0);
    dataTypeGrid->addWidget(m_comboBoxDataType, 0, 1);
    dataTypeGrid->addWidget(signBox, 1, 1);
    dataTypeGrid->addWidget(byteOrder, 0, 2);
    dataTypeGrid->addWidget(m_checkBoxSwapBytes, 0, 3);
    dataTypeGrid->addWidget(m_checkBoxSwapDWords, 1, 3);
    dataTypeGrid->addWidget(m_checkBoxSwapWords, 2, 3);
    dataTypeGrid->addWidget(m_checkBoxReverseOrder, 3, 3);
    dataTypeGrid->setRowStretch(4, 1);
    pages->addTab(dataTypePage, tr("Data type"));

    auto* conversionPage = new QWidget(pages);
    conversionPage->setObjectName("TabSheetConversion");
    auto* conversionGrid = new QGridLayout(conversionPage);
    m_conversion = new QButtonGroup(conversionPage);
    const auto addMode = [&](const QString& text, const char* name, const QString& hint, int linear,
                             int row) {
        auto* button = new QRadioButton(text, conversionPage);
        button->setObjectName(name);
        button->setToolTip(hint);
        m_conversion->addButton(button, linear);
        conversionGrid->addWidget(button, row, 0);
    };
    addMode(Text(ConversionModes()[kLinearNone]), "RadioButtonNoConversion",
            tr("Display read value with no conversion."), kLinearNone, 0);
    addMode(Text(ConversionModes()[kLinearFunction]), "RadioButtonFunction",
            tr("Use defined function f(x). "), kLinearFunction, 1);
    addMode(Text(ConversionModes()[kLinearLinearized]), "RadioButtonLinearized",
            tr("Last squares method is used to calculate linear function fL(x) based on defined "
               "f(x)."),
            kLinearLinearized, 2);
    auto* defineFunction = new QPushButton(tr("Define f(x)"), conversionPage);
    defineFunction->setObjectName("ButtonDefineFunction");
    connect(defineFunction, &QPushButton::clicked, this,
            &TFormEditPoint::ButtonDefineFunctionClick);
    conversionGrid->addWidget(defineFunction, 1, 1, Qt::AlignLeft);
    m_checkBoxFilter = newCheckBox(tr("Eliminate negative pulses (for binary tags only)"),
                                   "CheckBoxFilter", conversionPage);
    conversionGrid->addWidget(m_checkBoxFilter, 3, 0, 1, 2);
    conversionGrid->setRowStretch(4, 1);
    conversionGrid->setColumnStretch(2, 1);
    pages->addTab(conversionPage, tr("Conversion"));

    auto* alarmPage = new QWidget(pages);
    alarmPage->setObjectName("TabSheetAlarms");
    auto* alarmGrid = new QGridLayout(alarmPage);
    m_checkBoxEnableAlert = newCheckBox(tr("Enable alarms (highlights value on the screen)"),
                                        "CheckBoxEnableAlert", alarmPage);
    m_checkBoxEnableAlert->setToolTip(
        tr("Tags with alarms are displayed in distinguished colors."));
    m_editHighThreshold = NewEdit(alarmPage, "EditHighThreshold");
    m_editLowThreshold = NewEdit(alarmPage, "EditLowThreshold");
    m_labelHighUnit = new QLabel(alarmPage);
    m_labelHighUnit->setObjectName("LabelHighUnit");
    m_labelLowUnit = new QLabel(alarmPage);
    m_labelLowUnit->setObjectName("LabelLowUnit");
    m_checkBoxSMSAlert = newCheckBox(tr("Send SMS notification when threshold exceeded"),
                                     "CheckBoxSMSAlert", alarmPage);
    m_checkBoxSMSAlert->setVisible(false);
    alarmGrid->addWidget(m_checkBoxEnableAlert, 0, 0, 1, 4);
    alarmGrid->addWidget(new QLabel(tr("High threshold:"), alarmPage), 1, 0);
    alarmGrid->addWidget(m_editHighThreshold, 1, 1);
    alarmGrid->addWidget(m_labelHighUnit, 1, 2);
    alarmGrid->addWidget(new QLabel(tr("alarm if above"), alarmPage), 1, 3);
    alarmGrid->addWidget(new QLabel(tr("Low Threshold:"), alarmPage), 2, 0);
    alarmGrid->addWidget(m_editLowThreshold, 2, 1);
    alarmGrid->addWidget(m_labelLowUnit, 2, 2);
    alarmGrid->addWidget(new QLabel(tr("alarm if below"), alarmPage), 2, 3);
    m_comboBoxAlarmPriority = new QComboBox(alarmPage);
    m_comboBoxAlarmPriority->setObjectName("ComboBoxAlarmPriority");
    for (const std::string_view priority : AlarmPriorities())
        m_comboBoxAlarmPriority->addItem(Text(priority));
    m_editAlarmDeadband = NewEdit(alarmPage, "EditAlarmDeadband");
    m_labelDeadbandUnit = new QLabel(alarmPage);
    m_labelDeadbandUnit->setObjectName("LabelDeadbandUnit");
    m_editAlarmDelay = NewEdit(alarmPage, "EditAlarmDelay");
    alarmGrid->addWidget(new QLabel(tr("Priority:"), alarmPage), 3, 0);
    alarmGrid->addWidget(m_comboBoxAlarmPriority, 3, 1);
    alarmGrid->addWidget(new QLabel(tr("Deadband:"), alarmPage), 4, 0);
    alarmGrid->addWidget(m_editAlarmDeadband, 4, 1);
    alarmGrid->addWidget(m_labelDeadbandUnit, 4, 2);
    alarmGrid->addWidget(new QLabel(tr("Delay:"), alarmPage), 5, 0);
    alarmGrid->addWidget(m_editAlarmDelay, 5, 1);
    alarmGrid->addWidget(new QLabel(tr("seconds"), alarmPage), 5, 2);
    alarmGrid->addWidget(m_checkBoxSMSAlert, 6, 0, 1, 4);
    alarmGrid->setRowStretch(7, 1);
    alarmGrid->setColumnStretch(4, 1);
    pages->addTab(alarmPage, tr("Thresholds && alarms"));
    BuildOutputPage(*pages);

    auto* buttons = new QHBoxLayout;
    QPushButton* save = AddSaveCancelButtons(buttons, this);
    layout->addLayout(buttons);

    connect(save, &QPushButton::clicked, this, &TFormEditPoint::ButtonSaveClick);
    connect(m_comboBoxCommunication, &QComboBox::currentIndexChanged, this,
            &TFormEditPoint::ComboBoxCommunicationChange);
    connect(m_comboBoxDataType, &QComboBox::currentIndexChanged, this,
            &TFormEditPoint::ComboBoxDataTypeChange);
    connect(m_comboBoxFunction, &QComboBox::currentIndexChanged, this,
            &TFormEditPoint::ComboBoxFunctionChange);
    connect(m_editRegisterAddr, &QLineEdit::textChanged, this,
            &TFormEditPoint::EditRegisterAddrChange);
    connect(m_checkBoxEnableAlert, &QCheckBox::toggled, this,
            &TFormEditPoint::CheckBoxEnableAlertClick);
}

// The limits an operator's presets must keep to; an empty field sets none.
void TFormEditPoint::BuildOutputPage(QTabWidget& pages) {
    auto* outputPage = new QWidget(&pages);
    outputPage->setObjectName("TabSheetOutput");
    auto* outputGrid = new QGridLayout(outputPage);
    m_editWriteMin = NewEdit(outputPage, "EditWriteMin");
    m_editWriteMax = NewEdit(outputPage, "EditWriteMax");
    m_labelWriteMinUnit = Named(new QLabel(outputPage), "LabelWriteMinUnit");
    m_labelWriteMaxUnit = Named(new QLabel(outputPage), "LabelWriteMaxUnit");
    outputGrid->addWidget(new QLabel(tr("Write minimum:"), outputPage), 0, 0);
    outputGrid->addWidget(m_editWriteMin, 0, 1);
    outputGrid->addWidget(m_labelWriteMinUnit, 0, 2);
    outputGrid->addWidget(new QLabel(tr("Write maximum:"), outputPage), 1, 0);
    outputGrid->addWidget(m_editWriteMax, 1, 1);
    outputGrid->addWidget(m_labelWriteMaxUnit, 1, 2);
    outputGrid->addWidget(
        NewNote(tr("Values an operator may set on an output tag; leave empty for no limit"),
                outputPage),
        2, 0, 1, 3);
    outputGrid->setRowStretch(3, 1);
    outputGrid->setColumnStretch(3, 1);
    pages.addTab(outputPage, tr("Output"));
}

void TFormEditPoint::SetTagNumber(int number) {
    m_editId->setText(QString::number(number));
}

void TFormEditPoint::showEvent(QShowEvent* event) {
    m_comboBoxDataType->clear();
    for (const DataTypeInfo& type : DataTypes())
        m_comboBoxDataType->addItem(QString::fromStdString(DataTypeItemText(type)));
    LoadControls(EditorValuesFromTag(m_tag));
    ShowNotifyChoice();
    CheckBoxEnableAlertClick();
    ComboBoxDataTypeChange();
    ComboBoxFunctionChange();
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - rect().center());
    KeepWithinScreen(*this);
    QDialog::showEvent(event);
}

void TFormEditPoint::LoadControls(const TagEditorValues& values) {
    m_comboBoxCommunication->setCurrentIndex(values.port);
    SetLimitedText(m_editSlaveAddress, values.slaveAddress, kSlaveAddressLength);
    SetLimitedText(m_editRegisterAddr, values.registerAddress, kRegisterAddressLength);
    m_comboBoxFunction->setCurrentIndex(values.function);
    m_comboBoxDataType->setCurrentIndex(values.dataTypeRow);
    (values.signedValue ? m_radioButtonSigned : m_radioButtonUnsigned)->setChecked(true);
    m_checkBoxSwapBytes->setChecked(values.swapBytes);
    m_checkBoxSwapDWords->setChecked(values.swapDWords);
    m_checkBoxSwapWords->setChecked(values.swapWords);
    m_checkBoxReverseOrder->setChecked(values.reverseOrder);
    SetLimitedText(m_editName, values.name, kNameLength);
    SetLimitedText(m_editUnit, values.unit, kUnitLength);
    SetLimitedText(m_editDescription, values.description, kDescriptionLength);
    m_comboBoxFormat->setEditText(QString::fromStdString(values.format));
    m_editHighThreshold->setText(QString::fromStdString(values.highThreshold));
    m_editLowThreshold->setText(QString::fromStdString(values.lowThreshold));
    m_checkBoxEnableAlert->setChecked(values.enableAlert);
    m_checkBoxSMSAlert->setChecked(values.smsAlert);
    m_comboBoxAlarmPriority->setCurrentIndex(values.alarmPriority);
    m_editAlarmDeadband->setText(QString::fromStdString(values.alarmDeadband));
    m_editAlarmDelay->setText(QString::fromStdString(values.alarmDelay));
    m_editWriteMin->setText(QString::fromStdString(values.writeMin));
    m_editWriteMax->setText(QString::fromStdString(values.writeMax));
    if (values.linear)
        m_conversion->button(*values.linear)->setChecked(true);
    m_checkBoxFilter->setChecked(values.filter);
    for (QLabel* unit : {m_labelHighUnit, m_labelLowUnit, m_labelDeadbandUnit, m_labelWriteMinUnit,
                         m_labelWriteMaxUnit})
        unit->setText(QString::fromStdString(values.unit));
    EditRegisterAddrChange();
    ComboBoxCommunicationChange();
}

TagEditorValues TFormEditPoint::ReadControls() const {
    TagEditorValues values;
    values.port = m_comboBoxCommunication->currentIndex();
    values.slaveAddress = m_editSlaveAddress->text().toStdString();
    values.registerAddress = m_editRegisterAddr->text().toStdString();
    values.function = m_comboBoxFunction->currentIndex();
    values.dataTypeRow = m_comboBoxDataType->currentIndex();
    values.reverseOrder = m_checkBoxReverseOrder->isChecked();
    values.swapBytes = m_checkBoxSwapBytes->isChecked();
    values.swapWords = m_checkBoxSwapWords->isChecked();
    values.swapDWords = m_checkBoxSwapDWords->isChecked();
    values.signedValue = m_radioButtonSigned->isChecked();
    values.name = m_editName->text().toStdString();
    values.unit = m_editUnit->text().toStdString();
    values.description = m_editDescription->text().toStdString();
    values.format = m_comboBoxFormat->currentText().toStdString();
    values.highThreshold = m_editHighThreshold->text().toStdString();
    values.lowThreshold = m_editLowThreshold->text().toStdString();
    values.enableAlert = m_checkBoxEnableAlert->isChecked();
    values.smsAlert = m_checkBoxSMSAlert->isChecked();
    values.alarmPriority = m_comboBoxAlarmPriority->currentIndex();
    values.alarmDeadband = m_editAlarmDeadband->text().toStdString();
    values.alarmDelay = m_editAlarmDelay->text().toStdString();
    values.writeMin = m_editWriteMin->text().toStdString();
    values.writeMax = m_editWriteMax->text().toStdString();
    if (const int linear = m_conversion->checkedId(); linear >= 0)
        values.linear = linear;
    values.filter = m_checkBoxFilter->isChecked();
    return values;
}

void TFormEditPoint::ComboBoxCommunicationChange() {
    const ConnectionDisplay display =
        ConnectionDisplayFor(m_config, m_comboBoxCommunication->currentIndex());
    m_editComPort->setText(QString::fromStdString(display.portName));
    m_editProtocol->setText(QString::fromStdString(display.protocol));
}

void TFormEditPoint::ComboBoxDataTypeChange() {
    const SignOptions options = SignOptionsFor(m_comboBoxDataType->currentIndex());
    m_radioButtonUnsigned->setEnabled(options.enabled);
    m_radioButtonSigned->setEnabled(options.enabled);
    if (options.forceSigned)
        m_radioButtonSigned->setChecked(true);
}

void TFormEditPoint::ComboBoxFunctionChange() {
    const bool applies = ByteOrderApplies(m_comboBoxFunction->currentIndex());
    for (QCheckBox* box :
         {m_checkBoxSwapBytes, m_checkBoxSwapDWords, m_checkBoxSwapWords, m_checkBoxReverseOrder})
        box->setEnabled(applies);
}

void TFormEditPoint::EditRegisterAddrChange() {
    if (const auto hex = RegisterHexText(m_editRegisterAddr->text().toStdString()))
        m_labelRegHex->setText(QString::fromStdString(*hex));
}

// The flag is kept whether or not it is shown: hidden, it still saves the stored value.
void TFormEditPoint::ShowNotifyChoice() {
    const bool notify = LoadNotifyOptions(m_config).enabled;
    m_checkBoxSMSAlert->setText(
        notify ? tr("Send a notification when the alarm is raised and when it ends")
               : tr("Send SMS notification when threshold exceeded"));
    m_checkBoxSMSAlert->setVisible(notify);
}

void TFormEditPoint::CheckBoxEnableAlertClick() {
    const bool enabled = m_checkBoxEnableAlert->isChecked();
    for (QWidget* field : std::initializer_list<QWidget*>{m_editHighThreshold, m_editLowThreshold,
                                                          m_comboBoxAlarmPriority,
                                                          m_editAlarmDeadband, m_editAlarmDelay})
        field->setEnabled(enabled);
}

void TFormEditPoint::ButtonDefineFunctionClick() {
    m_formFunction->Tag() = m_tag;
    if (m_formFunction->exec() != QDialog::Accepted)
        return;
    m_tag = m_formFunction->Tag();
    m_conversion->button(kLinearFunction)->setChecked(true);
}

// A refused deadband, delay or write limit keeps the dialog open with what was typed, and
// the working copy as it was.
void TFormEditPoint::ButtonSaveClick() {
    const TagEditorValues values = ReadControls();
    std::optional<std::string> refused = RefusedAlarmField(values);
    if (!refused)
        refused = RefusedWriteLimits(values);
    if (refused) {
        MessageBox::Error(this, QCoreApplication::applicationName(),
                          QString::fromStdString(*refused));
        return;
    }
    if (const auto error = ApplyEditorValues(values, m_tag))
        MessageBox::Error(this, QCoreApplication::applicationName(),
                          QString::fromStdString(*error));
    accept();
}

} // namespace halvane
