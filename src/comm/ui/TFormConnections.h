#pragma once

#include "ConnectionsDialogValues.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;

namespace halvane {

class ConnectionsHost;
class ProfileStore;

// "Connections": the settings of the three serial connections and the network connection.
// Every show loads them from the project file; "Save" writes them back, restarts all
// communication with them and closes. However it closes, the station then relabels its
// connections.
class TFormConnections final : public QDialog {
    Q_OBJECT
public:
    TFormConnections(ProfileStore& store, ConnectionsHost& host, QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct SerialControls {
        QLabel* status = nullptr;
        QCheckBox* enabled = nullptr;
        QWidget* panel = nullptr;
        QComboBox* port = nullptr;
        QComboBox* baudRate = nullptr;
        QComboBox* protocol = nullptr;
        QComboBox* dataBits = nullptr;
        QComboBox* parity = nullptr;
        QComboBox* stopBits = nullptr;
        QComboBox* timeout = nullptr;
        QComboBox* interval = nullptr;
        QCheckBox* reconnect = nullptr;
        QComboBox* writeMode = nullptr;
        QCheckBox* combine = nullptr;
    };
    struct NetworkControls {
        QLabel* status = nullptr;
        QCheckBox* enabled = nullptr;
        QLineEdit* host = nullptr;
        QLineEdit* port = nullptr;
        QComboBox* timeout = nullptr;
        QComboBox* interval = nullptr;
        QCheckBox* reconnect = nullptr;
        QComboBox* writeMode = nullptr;
        QCheckBox* combine = nullptr;
    };

    void BuildWindow();
    QGroupBox* BuildSerialGroup(int port);
    QWidget* BuildSerialPanel(int port, SerialControls& controls);
    void BuildSerialLists(QWidget* panel, int port, SerialControls& controls);
    QGroupBox* BuildNetworkGroup();
    QLayout* BuildButtons();
    void FormShow();
    void LoadSerialPanel(int port, const SerialPanelValues& values);
    void LoadNetworkPanel(const NetworkPanelValues& values);
    SerialPanelValues ReadSerialPanel(int port) const;
    NetworkPanelValues ReadNetworkPanel() const;
    ConnectionsDialogValues ReadControls() const;
    void ShowConnectionStates();
    bool Save();
    void RestartCommunication();

    // Handlers of the serial panels take the serial port number, 1..3.
    void CheckBoxClick(int port);
    void ComboBoxPortChange(int port);
    void ButtonDefaultsClick(int port);
    void ButtonDefaultsEthClick();
    void ButtonSaveClick();

    SerialControls& Serial(int port) { return m_serial[static_cast<size_t>(port - 1)]; }
    const SerialControls& Serial(int port) const { return m_serial[static_cast<size_t>(port - 1)]; }

    ProfileStore& m_store;
    ConnectionsHost& m_host;
    std::array<SerialControls, kSerialConnections> m_serial;
    NetworkControls m_network;
};

} // namespace halvane
