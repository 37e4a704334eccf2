#pragma once

#include <array>

#include <QDialog>
#include <QString>

#include "serial/serialsettings.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QRadioButton;

namespace velkar {

// "Serial Port Parameter": twenty radio buttons in five groups choose port,
// speed, data bits, parity and stop bits. The dialog loads the profile when it
// opens and saves it on OK; Cancel writes nothing. A stored text that matches
// no button leaves its group unchecked and is written back unchanged.
//
// Beside each COM button the device it opens and the command language its
// cutter speaks are shown; the device of the chosen COM number can be pointed
// at any serial device found on the machine, any print queue the print system
// offers ("cups:QUEUE"), or a typed path or "socket://HOST[:PORT]", and its
// language chosen ("Velkar", "HP-GL").
class CSerialDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSerialDlg(QWidget* parent = nullptr);

    // The settings the dialog edits (loaded when it is shown). Devices and
    // languages chosen for a COM number are stored in "device1" to "device4"
    // and "dialect1" to "dialect4" of section "comm" on OK.
    const CSerialSettings& Settings() const { return m_settings; }

    // The radio button of a control identifier (1000 to 1019), nullptr for others.
    QRadioButton* Button(int id) const;

    int exec() override;
    void accept() override;

private:
    struct ButtonValue {
        int id;
        const char* text;
        int group;  // 0 port, 1 speed, 2 data, 3 parity, 4 stop
        const char* value;
    };
    static const ButtonValue* Find(int id);
    QString& Field(int group);
    void OnButtonClicked(int id);
    void CheckMatchingButtons();
    void ShowDevices();
    void OnDeviceEdited();
    void ShowDevice(std::size_t port);  // 0 to 3
    void OnDialectChosen();
    int ChosenPort() const;

    CSerialSettings m_settings;
    std::array<QRadioButton*, 20> m_buttons{};
    std::array<QLabel*, 4> m_deviceLabels{};
    std::array<QLabel*, 4> m_dialectLabels{};
    QComboBox* m_pDevice = nullptr;
    QComboBox* m_pDialect = nullptr;
    std::array<QString, 4> m_devices;  // device of COM1 to COM4
    std::array<bool, 4> m_deviceChanged{};
    std::array<QString, 4> m_dialects;  // command language of COM1 to COM4
    std::array<bool, 4> m_dialectChanged{};
};

}  // namespace velkar
