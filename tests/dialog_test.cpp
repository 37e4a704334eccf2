// The dialogs, driven through their widgets: initial values, ranges and
// refusals, what OK and Cancel leave in the profile, and the import dialog's
// flavours and file name.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "app/dialogs/aboutdlg.h"
#include "app/dialogs/cutterparamdlg.h"
#include "app/dialogs/importdlg.h"
#include "app/dialogs/materialdlg.h"
#include "app/dialogs/movedlg.h"
#include "app/dialogs/recentdirectory.h"
#include "app/dialogs/serialdlg.h"
#include "qtsupport.h"
#include "serial/profile.h"
#include "testsupport.h"

using namespace velkar;
using namespace velkar::test;

namespace {

QLineEdit* Edit(QWidget* w, const char* name) {
    return w->findChild<QLineEdit*>(QString::fromLatin1(name));
}

// On the indicator: a radio button stretched by its layout takes clicks only on its indicator and text.
void ClickRadio(QRadioButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// Runs a serial dialog, acting on it once it shows; returns how it ended.
int RunSerial(const std::function<void(CSerialDlg*)>& action) {
    CSerialDlg dlg;
    OnNextModal([&](QWidget* w) { action(static_cast<CSerialDlg*>(w)); });
    return dlg.exec();
}

QRadioButton* Flavour(QWidget* dlg, int n) {
    return dlg->findChild<QRadioButton*>(QStringLiteral("flavour%1").arg(n));
}
QLineEdit* FileName(QWidget* dlg) {
    return dlg->findChild<QLineEdit*>(QStringLiteral("fileName"));
}

// Answers the next file dialog with file, noting the directory it started in;
// an empty file cancels it.
void PickNext(const QString& file, QString* startDir = nullptr) {
    OnNextModal([=](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        QVERIFY(fd);
        if (startDir) *startDir = fd->directory().absolutePath();
        if (file.isEmpty()) return fd->reject();
        fd->selectFile(file);
        static_cast<QDialog*>(fd)->accept();
    });
}

}  // namespace

class DialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString Touch(const char* name) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        WriteText(path.toStdString(), "");
        return path;
    }

private slots:
    void init() {
        ClearProfile();
        CRecentDirectory::Reset();
    }

    void TitlesAndLabels() {
        CCutterParamDlg cutter;
        QStringList labels;
        for (QLabel* l : cutter.findChildren<QLabel*>()) labels << l->text();
        QCOMPARE(labels.join(QLatin1Char('|')), QString::fromUtf8("Sharp Offset：|mm|Close Offset：|mm|Smooth:|mm"));
        CAboutDlg about;
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("version"))->text(), QStringLiteral("Velkar 1.4 Ver"));
        QCOMPARE((QStringList{cutter.windowTitle(), CMaterialDlg().windowTitle(), CMoveDlg().windowTitle(),
                              about.windowTitle(), CSerialDlg().windowTitle()})
                     .join(QLatin1Char('|')),
                 QStringLiteral("Cuter Parameter|Material|Pictuer Move|About Velkar|Serial Port Parameter"));
        OnNextModal([](QWidget* w) { Click(w, "ok"); });
        QCOMPARE(about.exec(), int(QDialog::Accepted));
    }

    // The cutter parameters (sharp, close) and the material (length, width):
    // the bounds are taken, anything beyond them is refused with its message,
    // and nothing is kept.
    void RangesAndRefusals_data() {
        QTest::addColumn<bool>("material");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");  // empty: accepted
        QTest::addColumn<int>("fault");        // the edit that keeps the focus after a refusal
        // clang-format off
        QTest::newRow("cutter upper bounds") << false << "2" << "5" << "" << 0;
        QTest::newRow("cutter lower bounds") << false << "0" << "0" << "" << 0;
        QTest::newRow("sharp above") << false << "2.01" << "1" << "Please enter a number between 0 and 2." << 1;
        QTest::newRow("close negative") << false << "1" << "-1" << "Please enter a number between 0 and 5." << 2;
        QTest::newRow("sharp not a number") << false << "abc" << "1" << "Please enter a number." << 1;
        QTest::newRow("largest material") << true << "1000000" << "1000000" << "" << 0;
        QTest::newRow("no material") << true << "0" << "0" << "" << 0;
        QTest::newRow("length above")
            << true << "1000001" << "5" << "Please enter an integer between 0 and 1000000." << 1;
        QTest::newRow("width negative")
            << true << "5" << "-1" << "Please enter an integer between 0 and 1000000." << 2;
        QTest::newRow("length not an integer") << true << "12.5" << "5" << "Please enter an integer." << 1;
        // clang-format on
    }

    void RangesAndRefusals() {
        QFETCH(bool, material);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, message);
        QFETCH(int, fault);
        CCutterParamDlg cutter;
        cutter.m_fSmooth = 7.5f;
        const char* edits[] = {material ? "edit1001" : "edit1020", material ? "edit1000" : "edit1021"};
        QString shown, smooth, focused;
        OnNextModal([&](QWidget* w) {
            // Smooth is shown but cannot be changed.
            if (!material && !Edit(w, "edit1008")->isEnabled()) smooth = Edit(w, "edit1008")->text();
            SetEdit(w, edits[0], first);
            SetEdit(w, edits[1], second);
            if (!message.isEmpty()) AnswerNextMessage(&shown);
            Click(w, "ok");
            if (!w->isVisible()) return;
            focused = w->focusWidget()->objectName();
            Click(w, "cancel");
        });
        const int result = material ? CMaterialDlg::RunWithProfile(nullptr) : cutter.exec();
        QCOMPARE(shown, message);
        QCOMPARE(result, int(message.isEmpty() ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(focused, fault ? QLatin1String(edits[fault - 1]) : QString());
        const QString taken = first + QLatin1Char(' ') + second;
        if (material)
            QCOMPARE(ProfileValue(QStringLiteral("material/length")) + QLatin1Char(' ') +
                         ProfileValue(QStringLiteral("material/width")),
                     message.isEmpty() ? taken : QStringLiteral("<absent> <absent>"));
        else
            QCOMPARE(QStringLiteral("%1 %2 %3").arg(cutter.m_fSharpOffset).arg(cutter.m_fCloseOffset).arg(smooth),
                     (message.isEmpty() ? taken : QStringLiteral("0 0")) + QStringLiteral(" 7.5"));
        QCOMPARE(cutter.m_fSmooth, 7.5f);
    }

    // The material dialog shows the stored size; a stored text that is no number reads as 0.
    void MaterialShowsTheStoredSize() {
        SaveMaterialSize(MaterialSize{300, 120});
        OpenProfile()->setValue(QStringLiteral("material/width"), QStringLiteral("wide"));
        QString shown;
        OnNextModal([&shown](QWidget* w) {
            shown = Edit(w, "edit1001")->text() + QLatin1Char(' ') + Edit(w, "edit1000")->text();
            Click(w, "cancel");
        });
        QCOMPARE(CMaterialDlg::RunWithProfile(nullptr), int(QDialog::Rejected));
        QCOMPARE(shown, QStringLiteral("300 0"));
    }

    // On an empty profile COM1, 8, NONE and 1 are checked; a stored text that
    // no button names checks none and is kept; Cancel writes nothing.
    void SerialDefaultsUnmatchedTextsAndCancel() {
        OpenProfile()->setValue(QStringLiteral("comm/speed"), QStringLiteral("19200"));
        QList<int> checked;
        RunSerial([&](CSerialDlg* d) {
            for (int id = 1000; id <= 1019; ++id)
                if (d->Button(id)->isChecked()) checked << id;
            Click(d, "ok");
        });
        QCOMPARE(checked, QList<int>({1000, 1012, 1013, 1016}));
        QStringList stored;
        for (const char* key : {"port", "speed", "parity", "data", "stopbits"})
            stored << ProfileValue(QStringLiteral("comm/") + QLatin1String(key));
        QCOMPARE(stored.join(QLatin1Char(' ')), QStringLiteral("1 19200 N 8 1"));
        RunSerial([](CSerialDlg* d) {
            ClickRadio(d->Button(1002));
            Click(d, "cancel");
        });
        QCOMPARE(ProfileValue(QStringLiteral("comm/port")), QStringLiteral("1"));
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
        } rows[] = {{1000, "port", "1", "COM1"},       {1001, "port", "2", "COM2"},     {1002, "port", "3", "COM3"},
                    {1003, "port", "4", "COM4"},       {1004, "speed", "300", "300"},   {1005, "speed", "1200", "1200"},
                    {1006, "speed", "2400", "2400"},   {1007, "speed", "4800", "4800"}, {1008, "speed", "9600", "9600"},
                    {1009, "speed", "14400", "14400"}, {1019, "data", "5", "5"},        {1011, "data", "6", "6"},
                    {1010, "data", "7", "7"},          {1012, "data", "8", "8"},        {1013, "parity", "N", "NONE"},
                    {1014, "parity", "O", "Odd"},      {1015, "parity", "E", "Even"},   {1016, "stopbits", "1", "1"},
                    {1017, "stopbits", "1.5", "1.5"},  {1018, "stopbits", "2", "2"}};
        for (const auto& r : rows)
            QTest::addRow("%d", r.id) << r.id << QString::fromLatin1(r.key) << QString::fromLatin1(r.value)
                                      << QString::fromLatin1(r.text);
    }

    void SerialEachButtonStoresItsValue() {
        QFETCH(int, id);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, text);
        RunSerial([&](CSerialDlg* d) {
            QCOMPARE(d->Button(id)->text(), text);
            ClickRadio(d->Button(id));
            Click(d, "ok");
        });
        QCOMPARE(ProfileValue(QStringLiteral("comm/") + key), value);
    }

    // Each COM port shows its device and its language; the chosen port's can be
    // changed, and a stored language text that names none is shown and written
    // back as it is.
    void SerialDevicesAndDialectsPerPort() {
        OpenProfile()->setValue(QStringLiteral("comm/dialect4"), QStringLiteral("GP-GL"));
        QStringList shown, offered;
        RunSerial([&](CSerialDlg* d) {
            auto* dialect = d->findChild<QComboBox*>(QStringLiteral("dialect"));
            auto* device = d->findChild<QComboBox*>(QStringLiteral("device"));
            for (int i = 0; i < dialect->count(); ++i) offered << dialect->itemText(i);
            shown << d->findChild<QLabel*>(QStringLiteral("device1"))->text();
            ClickRadio(d->Button(1001));
            dialect->setCurrentText(QStringLiteral("HP-GL"));
            device->setEditText(QStringLiteral("socket://10.0.0.7"));
            ClickRadio(d->Button(1002));
            device->setEditText(QStringLiteral("/dev/usb/lp0"));
            ClickRadio(d->Button(1003));
            for (int n = 1; n <= 4; ++n) shown << d->findChild<QLabel*>(QStringLiteral("dialect%1").arg(n))->text();
            shown << dialect->currentText() << d->findChild<QLabel*>(QStringLiteral("device3"))->text();
            Click(d, "ok");
        });
        QCOMPARE(offered, (QStringList{QStringLiteral("Velkar"), QStringLiteral("HP-GL")}));
        QVERIFY(!shown.takeFirst().isEmpty());
        QCOMPARE(shown,
                 (QStringList{QStringLiteral("Velkar"), QStringLiteral("HP-GL"), QStringLiteral("Velkar"),
                              QStringLiteral("GP-GL"), QStringLiteral("GP-GL"), QStringLiteral("/dev/usb/lp0")}));
        QCOMPARE(ProfileValue(QStringLiteral("comm/dialect2")), QStringLiteral("HP-GL"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/device2")), QStringLiteral("socket://10.0.0.7"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/device3")), QStringLiteral("/dev/usb/lp0"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/dialect4")), QStringLiteral("GP-GL"));
        QCOMPARE(ProfileValue(QStringLiteral("comm/port")), QStringLiteral("4"));
    }

    void showsTheFlavoursTheFileNameAndTheButtonsInTabOrder() {
        CImportDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Import..."));
        auto* group = dlg.findChild<QGroupBox*>();
        QCOMPARE(group->title(), QStringLiteral("PLT Form"));
        const QStringList labels = QStringLiteral(
                                       "ZORVEX PLT,Coredraw PLT,AutoCad PLT,CasMate PLT,Standard PLT,"
                                       "SVG drawing,EPS/PDF drawing")
                                       .split(QLatin1Char(','));
        for (int i = 1; i <= labels.size(); ++i) {
            QCOMPARE(Flavour(group, i)->text(), labels[i - 1]);
            QCOMPARE(Flavour(group, i)->isChecked(), i == 1);
            if (i > 1) QVERIFY(Flavour(group, i)->y() > Flavour(group, i - 1)->y());
        }
        QStringList texts;
        for (const char* button : {"scan", "ok", "cancel"})
            texts << dlg.findChild<QPushButton*>(QLatin1String(button))->text();
        for (auto* l : dlg.findChildren<QLabel*>()) texts << l->text();
        QCOMPARE(texts, QStringList({QStringLiteral("Scan>>>"), QStringLiteral("OK"), QStringLiteral("Cancel"),
                                     QStringLiteral("FileName:")}));

        QStringList order;
        QWidget* ok = dlg.findChild<QPushButton*>(QStringLiteral("ok"));
        QWidget* w = ok;
        do {
            if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
            w = w->nextInFocusChain();
        } while (w != ok && order.size() < 20);
        QCOMPARE(order.join(QLatin1Char(' ')),
                 QStringLiteral("ok cancel flavour1 flavour2 flavour3 flavour4 flavour5 "
                                "flavour6 flavour7 orderPaths travelOrder scan fileName"));
    }

    // The file name is shown and read back on OK only; the flavour is the
    // button clicked last, and every showing starts at the first one.
    void flavourAndFileNameAreReadBackOnOkOnly() {
        CImportDlg dlg;
        dlg.m_strFileName = QStringLiteral("/jobs/logo.plt");
        dlg.m_nFlavour = 4;
        dlg.show();
        QCOMPARE(dlg.m_nFlavour, 1);
        QCOMPARE(FileName(&dlg)->text(), QStringLiteral("/jobs/logo.plt"));
        FileName(&dlg)->setText(QStringLiteral("/jobs/other.plt"));
        Click(&dlg, "cancel");
        QCOMPARE(dlg.m_strFileName, QStringLiteral("/jobs/logo.plt"));

        dlg.show();
        QTest::mouseClick(Flavour(&dlg, 5), Qt::LeftButton);
        QCOMPARE(dlg.m_nFlavour, 5);
        QTest::mouseClick(Flavour(&dlg, 3), Qt::LeftButton);
        // Checking a button by program is not a click: the flavour stays the last clicked.
        Flavour(&dlg, 2)->setChecked(true);
        FileName(&dlg)->clear();
        QTest::keyClicks(FileName(&dlg), QStringLiteral("/jobs/typed.PLT"));
        QTest::keyClick(FileName(&dlg), Qt::Key_Return);  // OK is the default button
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_nFlavour, 3);
        QCOMPARE(dlg.m_strFileName, QStringLiteral("/jobs/typed.PLT"));
    }

    // Only Standard PLT and the drawings can order their paths; a drawing
    // selects its own flavour, named or picked with Scan>>>.
    void orderPathsAndTheDrawingFlavours() {
        CImportDlg dlg;
        dlg.show();
        auto* box = dlg.findChild<QCheckBox*>(QStringLiteral("orderPaths"));
        QCOMPARE(box->text(), QStringLiteral("Order paths"));
        QVERIFY(!box->isChecked() && !box->isEnabled());
        QTest::mouseClick(Flavour(&dlg, 5), Qt::LeftButton);
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(dlg.m_bOrderPaths);
        QTest::mouseClick(Flavour(&dlg, 4), Qt::LeftButton);
        QVERIFY(!box->isEnabled());

        const QString svg = Touch("logo.svg");
        PickNext(svg);
        dlg.OnScan();
        QCOMPARE(dlg.m_nFlavour, 6);
        QVERIFY(box->isEnabled());
        const std::pair<QString, int> cases[] = {{Touch("flyer.PDF"), 7},
                                                 {m_dir.filePath(QStringLiteral("logo.plt")), 1}};
        for (const auto& [file, flavour] : cases) {
            CImportDlg named;
            named.m_strFileName = file;
            named.show();
            QCOMPARE(named.m_nFlavour, flavour);
            QVERIFY(Flavour(&named, flavour)->isChecked());
        }
    }

    // The file dialog starts where the operator worked last; cancelled, it empties the file name.
    void scanOffersPlotterFilesStartingWhereTheOperatorWorkedLast() {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("jobs")));
        const QString upper = Touch("jobs/LOGO.PLT"), lower = Touch("jobs/star.plt");
        Touch("jobs/notes.txt");
        CImportDlg dlg;
        dlg.show();
        QString startDir;
        PickNext(lower, &startDir);
        dlg.OnScan();
        QCOMPARE(startDir, QDir::homePath());
        QCOMPARE(FileName(&dlg)->text(), lower);

        // The next dialog starts in that directory, and the upper-case name matches too.
        PickNext(upper, &startDir);
        Click(&dlg, "scan");
        QCOMPARE(startDir, QDir(m_dir.filePath(QStringLiteral("jobs"))).absolutePath());
        QCOMPARE(FileName(&dlg)->text(), upper);
        PickNext(QString());
        Click(&dlg, "scan");
        QCOMPARE(FileName(&dlg)->text(), QString());
    }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"
