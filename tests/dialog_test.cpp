// The settings dialogs, driven through their widgets: initial values, ranges
// and refusals, and what OK and Cancel leave in the profile.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QtTest>

#include "app/dialogs/aboutdlg.h"
#include "app/dialogs/cutterparamdlg.h"
#include "app/dialogs/materialdlg.h"
#include "qtsupport.h"
#include "serial/profile.h"
#include "app/dialogs/movedlg.h"
#include "app/dialogs/serialdlg.h"

using namespace velkar;
using velkar::test::AnswerNextMessage;
using velkar::test::Click;
using velkar::test::OnNextModal;
using velkar::test::ProfileValue;
using velkar::test::SetEdit;

namespace {

QLineEdit* Edit(QWidget* w, const char* name) { return w->findChild<QLineEdit*>(QString::fromLatin1(name)); }

// On the indicator: a radio button stretched by its layout takes clicks only on its indicator and text.
void ClickRadio(QRadioButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// Types the texts into the edits and presses OK; where a refusal is expected, keeps its
// message and the edit that has the focus afterwards, then cancels.
void FillAndOk(QWidget* w, const char* first, const QString& firstText, const char* second,
               const QString& secondText, bool refused, QString* shown, QString* focused) {
    SetEdit(w, first, firstText);
    SetEdit(w, second, secondText);
    if (refused) AnswerNextMessage(shown);
    Click(w, "ok");
    if (!refused) return;
    *focused = w->focusWidget() ? w->focusWidget()->objectName() : QString();
    Click(w, "cancel");
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() { velkar::test::ClearProfile(); }

    void CutterParameterRanges_data() {
        QTest::addColumn<QString>("sharp");
        QTest::addColumn<QString>("close");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::addColumn<QString>("focus");
        QTest::newRow("upper bounds") << "2.0" << "5.0" << "" << "";
        QTest::newRow("lower bounds") << "0" << "0" << "" << "";
        QTest::newRow("sharp above") << "2.01" << "1" << "Please enter a number between 0 and 2." << "edit1020";
        QTest::newRow("sharp negative") << "-0.1" << "1" << "Please enter a number between 0 and 2." << "edit1020";
        QTest::newRow("close above") << "1" << "5.01" << "Please enter a number between 0 and 5." << "edit1021";
        QTest::newRow("close negative") << "1" << "-1" << "Please enter a number between 0 and 5." << "edit1021";
        QTest::newRow("not a number") << "abc" << "1" << "Please enter a number." << "edit1020";
    }

    void CutterParameterRanges() {
        QFETCH(QString, sharp);
        QFETCH(QString, close);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        CCutterParamDlg dlg;
        dlg.m_fSmooth = 7.5f;
        QString shown;
        QString focused;
        bool smoothEnabled = true;
        QString smoothText;
        OnNextModal([&](QWidget* w) {
            smoothEnabled = Edit(w, "edit1008")->isEnabled();
            smoothText = Edit(w, "edit1008")->text();
            FillAndOk(w, "edit1020", sharp, "edit1021", close, !message.isEmpty(), &shown, &focused);
        });
        const int result = dlg.exec();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Cuter Parameter"));
        QVERIFY(!smoothEnabled);
        QCOMPARE(smoothText, QStringLiteral("7.5"));
        QCOMPARE(shown, message);
        if (message.isEmpty()) {
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(dlg.m_fSharpOffset, sharp.toFloat());
            QCOMPARE(dlg.m_fCloseOffset, close.toFloat());
            QCOMPARE(dlg.m_fSmooth, 7.5f);
        } else {
            QCOMPARE(result, int(QDialog::Rejected));
            QCOMPARE(focused, focus);
            QCOMPARE(dlg.m_fSharpOffset, 0.0f);
            QCOMPARE(dlg.m_fCloseOffset, 0.0f);
        }
    }

    void CutterParameterLabels() {
        CCutterParamDlg dlg;
        QStringList labels;
        for (QLabel* l : dlg.findChildren<QLabel*>()) labels << l->text();
        QCOMPARE(labels, QStringList({QString::fromUtf8("Sharp Offset："), QStringLiteral("mm"),
                                      QString::fromUtf8("Close Offset："), QStringLiteral("mm"),
                                      QStringLiteral("Smooth:"), QStringLiteral("mm")}));
    }

    void MaterialRangesAndProfile_data() {
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("largest") << "1000000" << "1000000" << "" << "";
        QTest::newRow("zero") << "0" << "0" << "" << "";
        QTest::newRow("length above") << "1000001" << "5" << "Please enter an integer between 0 and 1000000."
                                      << "edit1001";
        QTest::newRow("width negative") << "5" << "-1" << "Please enter an integer between 0 and 1000000."
                                        << "edit1000";
        QTest::newRow("not an integer") << "12.5" << "5" << "Please enter an integer." << "edit1001";
    }

    void MaterialRangesAndProfile() {
        QFETCH(QString, length);
        QFETCH(QString, width);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QString shownLength, shownWidth, shown, focused;
        OnNextModal([&](QWidget* w) {
            shownLength = Edit(w, "edit1001")->text();
            shownWidth = Edit(w, "edit1000")->text();
            FillAndOk(w, "edit1001", length, "edit1000", width, !message.isEmpty(), &shown, &focused);
        });
        const int result = CMaterialDlg::RunWithProfile(nullptr);
        QCOMPARE(shownLength, QStringLiteral("200"));  // nothing stored yet
        QCOMPARE(shownWidth, QStringLiteral("200"));
        QCOMPARE(shown, message);
        if (message.isEmpty()) {
            QCOMPARE(result, int(QDialog::Accepted));
            QCOMPARE(ProfileValue(QStringLiteral("material/length")), length);
            QCOMPARE(ProfileValue(QStringLiteral("material/width")), width);
        } else {
            QCOMPARE(result, int(QDialog::Rejected));
            QCOMPARE(focused, focus);
            QCOMPARE(ProfileValue(QStringLiteral("material/length")), QStringLiteral("<absent>"));
            QCOMPARE(ProfileValue(QStringLiteral("material/width")), QStringLiteral("<absent>"));
        }
    }

    void MaterialCancelWritesNothingAndShowsStoredText() {
        SaveMaterialSize(MaterialSize{300, 120});
        OnNextModal([](QWidget* w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("Material"));
            QCOMPARE(Edit(w, "edit1001")->text(), QStringLiteral("300"));
            QCOMPARE(Edit(w, "edit1000")->text(), QStringLiteral("120"));
            SetEdit(w, "edit1001", QStringLiteral("50"));
            Click(w, "cancel");
        });
        QCOMPARE(CMaterialDlg::RunWithProfile(nullptr), int(QDialog::Rejected));
        QCOMPARE(ProfileValue(QStringLiteral("material/length")), QStringLiteral("300"));
        // A stored text that is no number reads as 0.
        OpenProfile()->setValue(QStringLiteral("material/width"), QStringLiteral("wide"));
        OnNextModal([](QWidget* w) {
            QCOMPARE(Edit(w, "edit1000")->text(), QStringLiteral("0"));
            Click(w, "cancel");
        });
        CMaterialDlg::RunWithProfile(nullptr);
    }

    void MoveDialogTakesAnyNumber() {
        CMoveDlg dlg;
        QString shown;
        OnNextModal([&](QWidget* w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("Pictuer Move"));
            QCOMPARE(Edit(w, "edit1020")->text(), QStringLiteral("0"));
            SetEdit(w, "edit1020", QStringLiteral("x"));
            AnswerNextMessage(&shown);
            Click(w, "ok");
            SetEdit(w, "edit1020", QStringLiteral("-12345.5"));
            SetEdit(w, "edit1021", QStringLiteral("99999"));
            Click(w, "ok");
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(shown, QStringLiteral("Please enter a number."));
        QCOMPARE(dlg.m_fMoveX, -12345.5f);
        QCOMPARE(dlg.m_fMoveY, 99999.0f);
    }

    void AboutBox() {
        CAboutDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("About Velkar"));
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("version"))->text(), QStringLiteral("Velkar 1.4 Ver"));
        OnNextModal([](QWidget* w) { Click(w, "ok"); });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    }

    void SerialDefaultsCheckTheirButtons() {
        CSerialDlg dlg;
        QList<int> checked;
        OnNextModal([&](QWidget* w) {
            auto* d = static_cast<CSerialDlg*>(w);
            for (int id = 1000; id <= 1019; ++id)
                if (d->Button(id)->isChecked()) checked << id;
            Click(w, "ok");
        });
        dlg.exec();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Serial Port Parameter"));
        QCOMPARE(checked, QList<int>({1000, 1008, 1012, 1013, 1016}));  // COM1, 9600, 8, NONE, 1
        QCOMPARE(ProfileValue(QStringLiteral("comm/port")), QStringLiteral("1"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/speed")), QStringLiteral("9600"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/parity")), QStringLiteral("N"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/data")), QStringLiteral("8"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/stopbits")), QStringLiteral("1"));
    }

    void SerialEachButtonStoresItsValue_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        const struct {
            int id;
            const char* key;
            const char* value;
            const char* text;
        } rows[] = {{1000, "port", "1", "COM1"},     {1001, "port", "2", "COM2"},     {1002, "port", "3", "COM3"},
                    {1003, "port", "4", "COM4"},     {1004, "speed", "300", "300"},   {1005, "speed", "1200", "1200"},
                    {1006, "speed", "2400", "2400"}, {1007, "speed", "4800", "4800"}, {1008, "speed", "9600", "9600"},
                    {1009, "speed", "14400", "14400"}, {1019, "data", "5", "5"},      {1011, "data", "6", "6"},
                    {1010, "data", "7", "7"},        {1012, "data", "8", "8"},        {1013, "parity", "N", "NONE"},
                    {1014, "parity", "O", "Odd"},    {1015, "parity", "E", "Even"},   {1016, "stopbits", "1", "1"},
                    {1017, "stopbits", "1.5", "1.5"}, {1018, "stopbits", "2", "2"}};
        for (const auto& r : rows)
            QTest::addRow("%d", r.id) << r.id << QString::fromLatin1(r.key) << QString::fromLatin1(r.value)
                                      << QString::fromLatin1(r.text);
    }

    void SerialEachButtonStoresItsValue() {
        QFETCH(int, id);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, text);
        CSerialDlg dlg;
        bool checkedAfterReload = false;
        OnNextModal([&](QWidget* w) {
            auto* d = static_cast<CSerialDlg*>(w);
            QCOMPARE(d->Button(id)->text(), text);
            ClickRadio(d->Button(id));
            Click(w, "ok");
        });
        dlg.exec();
        QCOMPARE(ProfileValue(QStringLiteral("comm/") + key), value);
        // Read back, the stored value checks its own button and no other in the group.
        CSerialDlg again;
        OnNextModal([&](QWidget* w) {
            checkedAfterReload = static_cast<CSerialDlg*>(w)->Button(id)->isChecked();
            Click(w, "cancel");
        });
        again.exec();
        QVERIFY(checkedAfterReload);
    }

    void SerialKeepsUnmatchedTextsAndCancelWritesNothing() {
        OpenProfile()->setValue(QStringLiteral("comm/speed"), QStringLiteral("19200"));
        CSerialDlg dlg;
        bool anySpeedChecked = true;
        OnNextModal([&](QWidget* w) {
            auto* d = static_cast<CSerialDlg*>(w);
            anySpeedChecked = false;
            for (int id = 1004; id <= 1009; ++id) anySpeedChecked = anySpeedChecked || d->Button(id)->isChecked();
            Click(w, "ok");
        });
        dlg.exec();
        QVERIFY(!anySpeedChecked);
        QCOMPARE(ProfileValue(QStringLiteral("comm/speed")), QStringLiteral("19200"));

        CSerialDlg cancelled;
        OnNextModal([&](QWidget* w) {
            ClickRadio(static_cast<CSerialDlg*>(w)->Button(1002));
            Click(w, "cancel");
        });
        cancelled.exec();
        QCOMPARE(ProfileValue(QStringLiteral("comm/port")), QStringLiteral("1"));
    }

    void SerialDeviceMapping() {
        CSerialDlg dlg;
        QString shownForCom1, shownForCom3;
        OnNextModal([&](QWidget* w) {
            auto* d = static_cast<CSerialDlg*>(w);
            shownForCom1 = w->findChild<QLabel*>(QStringLiteral("device1"))->text();
            ClickRadio(d->Button(1002));
            auto* device = w->findChild<QComboBox*>(QStringLiteral("device"));
            device->setEditText(QStringLiteral("/dev/usb/lp0"));
            shownForCom3 = w->findChild<QLabel*>(QStringLiteral("device3"))->text();
            Click(w, "ok");
        });
        dlg.exec();
        QVERIFY(!shownForCom1.isEmpty());
        QCOMPARE(shownForCom3, QStringLiteral("/dev/usb/lp0"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/port")), QStringLiteral("3"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/device3")), QStringLiteral("/dev/usb/lp0"));
    }

    // Each COM port shows its language; the chosen port's can be changed, and a
    // stored text that names no language is shown and written back as it is.
    void SerialDialectPerPort() {
        OpenProfile()->setValue(QStringLiteral("comm/dialect4"), QStringLiteral("GP-GL"));
        CSerialDlg dlg;
        QStringList shown, offered;
        OnNextModal([&](QWidget* w) {
            auto* d = static_cast<CSerialDlg*>(w);
            auto* dialect = w->findChild<QComboBox*>(QStringLiteral("dialect"));
            for (int i = 0; i < dialect->count(); ++i) offered << dialect->itemText(i);
            ClickRadio(d->Button(1001));
            dialect->setCurrentText(QStringLiteral("HP-GL"));
            w->findChild<QComboBox*>(QStringLiteral("device"))->setEditText(QStringLiteral("socket://10.0.0.7"));
            ClickRadio(d->Button(1003));
            for (int n = 1; n <= 4; ++n) shown << w->findChild<QLabel*>(QStringLiteral("dialect%1").arg(n))->text();
            shown << dialect->currentText();
            Click(w, "ok");
        });
        dlg.exec();
        QCOMPARE(offered, (QStringList{QStringLiteral("Velkar"), QStringLiteral("HP-GL")}));
        QCOMPARE(shown, (QStringList{QStringLiteral("Velkar"), QStringLiteral("HP-GL"), QStringLiteral("Velkar"),
                                     QStringLiteral("GP-GL"), QStringLiteral("GP-GL")}));
        QCOMPARE(ProfileValue(QStringLiteral("comm/dialect2")), QStringLiteral("HP-GL"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/device2")), QStringLiteral("socket://10.0.0.7"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/dialect4")), QStringLiteral("GP-GL"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/port")), QStringLiteral("4"));
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
