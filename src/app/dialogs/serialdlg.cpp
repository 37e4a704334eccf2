#include "app/dialogs/serialdlg.h"

#include <algorithm>

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSettings>
#include <QVBoxLayout>

#include "cutter/cutterdialect.h"
#include "serial/cupsqueue.h"
#include "serial/profile.h"

namespace velkar {

namespace {

enum Group { PortGroup, SpeedGroup, DataGroup, ParityGroup, StopGroup };

// The width of a device label, in average characters.
constexpr int DeviceChars = 24;

// In the order the dialog's members are declared.
constexpr int ButtonOrder[20] = {1015, 1014, 1013, 1012, 1010, 1011, 1019, 1009, 1008, 1007,
                                 1006, 1005, 1004, 1018, 1017, 1016, 1003, 1002, 1001, 1000};

}  // namespace

const CSerialDlg::ButtonValue* CSerialDlg::Find(int id) {
    static const ButtonValue values[] = {
        {1000, "COM1", PortGroup, "1"},    {1001, "COM2", PortGroup, "2"},      {1002, "COM3", PortGroup, "3"},
        {1003, "COM4", PortGroup, "4"},    {1004, "300", SpeedGroup, "300"},    {1005, "1200", SpeedGroup, "1200"},
        {1006, "2400", SpeedGroup, "2400"}, {1007, "4800", SpeedGroup, "4800"}, {1008, "9600", SpeedGroup, "9600"},
        {1009, "14400", SpeedGroup, "14400"}, {1019, "5", DataGroup, "5"},      {1011, "6", DataGroup, "6"},
        {1010, "7", DataGroup, "7"},       {1012, "8", DataGroup, "8"},         {1013, "NONE", ParityGroup, "N"},
        {1014, "Odd", ParityGroup, "O"},   {1015, "Even", ParityGroup, "E"},    {1016, "1", StopGroup, "1"},
        {1017, "1.5", StopGroup, "1.5"},   {1018, "2", StopGroup, "2"},
    };
    for (const ButtonValue& v : values)
        if (v.id == id) return &v;
    return nullptr;
}

QRadioButton* CSerialDlg::Button(int id) const {
    for (std::size_t i = 0; i < 20; ++i)
        if (ButtonOrder[i] == id) return m_buttons[i];
    return nullptr;
}

QString& CSerialDlg::Field(int group) {
    switch (group) {
        case PortGroup: return m_settings.m_strPort;
        case SpeedGroup: return m_settings.m_strSpeed;
        case DataGroup: return m_settings.m_strDataBits;
        case ParityGroup: return m_settings.m_strParity;
        default: return m_settings.m_strStopBits;
    }
}

CSerialDlg::CSerialDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Serial Port Parameter"));
    for (std::size_t i = 0; i < 20; ++i) {
        const ButtonValue* v = Find(ButtonOrder[i]);
        m_buttons[i] = new QRadioButton(QString::fromLatin1(v->text), this);
        m_buttons[i]->setObjectName(QStringLiteral("radio%1").arg(v->id));
        const int id = v->id;
        connect(m_buttons[i], &QRadioButton::clicked, this, [this, id] { OnButtonClicked(id); });
    }
    // One exclusive group per box, so that a group may also stay all unchecked.
    const char* titles[5] = {"Port", "Baud", "Data ", "Parity", "Stop"};
    QGroupBox* boxes[5];
    for (int g = 0; g < 5; ++g) {
        boxes[g] = new QGroupBox(QString::fromLatin1(titles[g]), this);
        auto* exclusive = new QButtonGroup(boxes[g]);
        for (int id = 1000; id <= 1019; ++id)
            if (Find(id)->group == g) exclusive->addButton(Button(id));
    }

    auto* port = new QGridLayout(boxes[PortGroup]);
    for (int i = 0; i < 4; ++i) {
        port->addWidget(Button(1000 + i), i, 0);
        QLabel* device = m_deviceLabels[static_cast<std::size_t>(i)] = new QLabel(boxes[PortGroup]);
        device->setObjectName(QStringLiteral("device%1").arg(i + 1));
        // A fixed width, so the dialog keeps its size while a path is typed.
        device->setFixedWidth(device->fontMetrics().averageCharWidth() * DeviceChars);
        port->addWidget(device, i, 1);
        QLabel* dialect = m_dialectLabels[static_cast<std::size_t>(i)] = new QLabel(boxes[PortGroup]);
        dialect->setObjectName(QStringLiteral("dialect%1").arg(i + 1));
        port->addWidget(dialect, i, 2);
    }
    m_pDevice = new QComboBox(boxes[PortGroup]);
    m_pDevice->setObjectName(QStringLiteral("device"));
    m_pDevice->setEditable(true);
    m_pDevice->setToolTip(QStringLiteral("Device opened for the chosen COM number: a path, socket://HOST[:PORT] or "
                                         "cups:QUEUE"));
    port->addWidget(m_pDevice, 4, 0, 1, 2);
    connect(m_pDevice, &QComboBox::currentTextChanged, this, &CSerialDlg::OnDeviceEdited);
    m_pDialect = new QComboBox(boxes[PortGroup]);
    m_pDialect->setObjectName(QStringLiteral("dialect"));
    m_pDialect->setToolTip(QStringLiteral("Command language of the cutter on the chosen COM number"));
    port->addWidget(m_pDialect, 4, 2);
    connect(m_pDialect, &QComboBox::currentTextChanged, this, &CSerialDlg::OnDialectChosen);

    auto* speed = new QGridLayout(boxes[SpeedGroup]);
    const int speedIds[6] = {1004, 1005, 1006, 1007, 1008, 1009};
    for (int i = 0; i < 6; ++i) speed->addWidget(Button(speedIds[i]), i / 3, i % 3);
    auto* dataBits = new QGridLayout(boxes[DataGroup]);
    dataBits->addWidget(Button(1019), 0, 0);
    dataBits->addWidget(Button(1011), 0, 1);
    dataBits->addWidget(Button(1010), 1, 0);
    dataBits->addWidget(Button(1012), 1, 1);
    auto* parity = new QHBoxLayout(boxes[ParityGroup]);
    for (int id : {1013, 1014, 1015}) parity->addWidget(Button(id));
    auto* stop = new QVBoxLayout(boxes[StopGroup]);
    for (int id : {1016, 1017, 1018}) stop->addWidget(Button(id));

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &CSerialDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSerialDlg::reject);

    auto* middle = new QVBoxLayout;
    middle->addWidget(boxes[SpeedGroup]);
    middle->addWidget(boxes[DataGroup]);
    middle->addWidget(boxes[ParityGroup]);
    auto* right = new QVBoxLayout;
    right->addWidget(ok);
    right->addWidget(cancel);
    right->addWidget(boxes[StopGroup]);
    right->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addWidget(boxes[PortGroup], 0, Qt::AlignTop);
    top->addLayout(middle);
    top->addLayout(right);

    QWidget* order[] = {ok,           Button(1004), Button(1005), Button(1006), Button(1007), Button(1008),
                        Button(1009), Button(1000), Button(1001), Button(1002), Button(1003), m_pDevice,
                        m_pDialect,   Button(1019), Button(1011), Button(1010), Button(1012), cancel,       Button(1013),
                        Button(1014), Button(1015), Button(1016), Button(1017), Button(1018)};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

int CSerialDlg::exec() {
    m_settings.LoadSettings();
    for (int n = 1; n <= 4; ++n) {
        m_devices[static_cast<std::size_t>(n - 1)] = m_settings.DeviceForPort(n);
        m_deviceChanged[static_cast<std::size_t>(n - 1)] = false;
        m_dialects[static_cast<std::size_t>(n - 1)] = m_settings.DialectForPort(n);
        m_dialectChanged[static_cast<std::size_t>(n - 1)] = false;
    }
    CheckMatchingButtons();
    ShowDevices();
    // The port comes first: the chosen one, or COM1.
    Button(1000 + std::max(ChosenPort(), 1) - 1)->setFocus();
    return QDialog::exec();
}

void CSerialDlg::CheckMatchingButtons() {
    for (int g = PortGroup; g <= StopGroup; ++g) {
        for (int id = 1000; id <= 1019; ++id) {
            const ButtonValue* v = Find(id);
            if (v->group == g && Field(g) == QString::fromLatin1(v->value)) Button(id)->setChecked(true);
        }
    }
}

void CSerialDlg::OnButtonClicked(int id) {
    const ButtonValue* v = Find(id);
    Field(v->group) = QString::fromLatin1(v->value);
    if (v->group == PortGroup) ShowDevices();
}

int CSerialDlg::ChosenPort() const {
    bool ok = false;
    const int chosen = m_settings.m_strPort.toInt(&ok);
    return ok && chosen >= 1 && chosen <= 4 ? chosen : 0;
}

void CSerialDlg::ShowDevices() {
    for (std::size_t i = 0; i < 4; ++i) {
        ShowDevice(i);
        m_dialectLabels[i]->setText(m_dialects[i]);
    }
    const int chosen = ChosenPort();
    {
        const QSignalBlocker block(m_pDevice);
        m_pDevice->clear();
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo& info : ports) m_pDevice->addItem(info.systemLocation());
        m_pDevice->addItems(CCupsQueue::ListQueues());
        m_pDevice->setEnabled(chosen != 0);
        m_pDevice->setEditText(chosen ? m_devices[static_cast<std::size_t>(chosen - 1)] : QString());
    }
    const QSignalBlocker block(m_pDialect);
    m_pDialect->clear();
    for (CutterDialectId id : {CutterDialectId::Velkar, CutterDialectId::Hpgl})
        m_pDialect->addItem(QString::fromLatin1(CutterDialect::StoredText(id)));
    m_pDialect->setEnabled(chosen != 0);
    if (!chosen) return;
    // A stored text that names no language is shown and kept as it is.
    const QString& dialect = m_dialects[static_cast<std::size_t>(chosen - 1)];
    if (m_pDialect->findText(dialect) < 0) m_pDialect->addItem(dialect);
    m_pDialect->setCurrentText(dialect);
}

void CSerialDlg::OnDeviceEdited() {
    const int chosen = ChosenPort();
    if (!chosen) return;
    const auto i = static_cast<std::size_t>(chosen - 1);
    m_devices[i] = m_pDevice->currentText().trimmed();
    m_deviceChanged[i] = true;
    ShowDevice(i);
}

void CSerialDlg::ShowDevice(std::size_t i) {
    // A path longer than the label is shortened in the middle and shown whole as a tip.
    QLabel* label = m_deviceLabels[i];
    label->setText(label->fontMetrics().elidedText(m_devices[i], Qt::ElideMiddle, label->width()));
    label->setToolTip(m_devices[i]);
}

void CSerialDlg::OnDialectChosen() {
    const int chosen = ChosenPort();
    if (!chosen) return;
    const auto i = static_cast<std::size_t>(chosen - 1);
    m_dialects[i] = m_pDialect->currentText();
    m_dialectChanged[i] = true;
    m_dialectLabels[i]->setText(m_dialects[i]);
}

void CSerialDlg::accept() {
    m_settings.SaveSettings();
    // Only a device the operator pointed elsewhere is written; the others keep
    // whatever the profile holds (or their defaults).
    auto profile = OpenProfile();
    for (int n = 1; n <= 4; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        if (m_deviceChanged[i] && !m_devices[i].isEmpty())
            profile->setValue(QStringLiteral("comm/device%1").arg(n), m_devices[i]);
        if (m_dialectChanged[i]) profile->setValue(QStringLiteral("comm/dialect%1").arg(n), m_dialects[i]);
    }
    QDialog::accept();
}

}  // namespace velkar
