#include "app/dialogs/importdlg.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include "app/dialogs/recentdirectory.h"
#include "drawingimport/drawingflavour.h"

namespace velkar {

namespace {

// The dialog is laid out in dialog units (a quarter of the average character
// width across, an eighth of the line height down) so that it keeps its
// proportions with any font.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) : m_fm(font) {}
    QRect Rect(int x, int y, int w, int h) const {
        const int cx = m_fm.averageCharWidth();
        const int cy = m_fm.height();
        return {x * cx / 4, y * cy / 8, w * cx / 4, h * cy / 8};
    }

private:
    QFontMetrics m_fm;
};

struct FlavourButton {
    const char* label;
    int y;
};

constexpr FlavourButton Flavours[CImportDlg::FlavourCount] = {
    {"ZORVEX PLT", 21},   {"Coredraw PLT", 33}, {"AutoCad PLT", 45},     {"CasMate PLT", 58},
    {"Standard PLT", 71}, {"SVG drawing", 83},  {"EPS/PDF drawing", 95},
};

constexpr int StandardFlavour = 5;

// The flavours that read the file's content whatever wrote it, and can order its paths.
bool OrdersPaths(int flavour) {
    return flavour == StandardFlavour || flavour == FlavourSvg || flavour == FlavourPostScript;
}

}  // namespace

CImportDlg::CImportDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CImportDlg"));
    setWindowTitle(QStringLiteral("Import..."));
    setModal(true);
    const DialogUnits du(font());

    auto* group = new QGroupBox(QStringLiteral("PLT Form"), this);
    group->setGeometry(du.Rect(7, 7, 79, 111));
    auto* buttons = new QButtonGroup(this);
    for (int i = 0; i < FlavourCount; ++i) {
        const FlavourButton& f = Flavours[i];
        auto* b = new QRadioButton(QString::fromLatin1(f.label), group);
        b->setObjectName(QStringLiteral("flavour%1").arg(i + 1));
        const QRect r = du.Rect(15, f.y, 66, 10);
        b->setGeometry(r.translated(-group->x(), -group->y()));
        buttons->addButton(b, i + 1);
        m_flavourButtons[i] = b;
    }
    m_flavourButtons[StandardFlavour - 1]->setToolTip(QStringLiteral("HP-GL, HP-GL/2 or DM/PL from any program"));
    m_flavourButtons[FlavourSvg - 1]->setToolTip(QStringLiteral("An SVG drawing, one knife per colour"));
    m_flavourButtons[FlavourPostScript - 1]->setToolTip(QStringLiteral("PostScript, EPS, PDF or AI, through pstoedit"));
    connect(buttons, &QButtonGroup::idClicked, this, [this](int id) { OnFlavourClicked(id); });

    // The label and the Scan button take the room their texts need with the
    // font in use; the edit keeps its right edge and gives way.
    auto* label = new QLabel(QStringLiteral("FileName:"), this);
    label->setGeometry(du.Rect(101, 11, 37, 13));
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    m_editFileName = new QLineEdit(this);
    m_editFileName->setObjectName(QStringLiteral("fileName"));
    QRect edit = du.Rect(140, 9, 79, 13);
    edit.setLeft(std::max(edit.left(), label->geometry().right() + 3));
    m_editFileName->setGeometry(edit);
    label->setBuddy(m_editFileName);

    m_btnScan = new QPushButton(QStringLiteral("Scan>>>"), this);
    m_btnScan->setObjectName(QStringLiteral("scan"));
    m_btnScan->setAutoDefault(false);
    QRect scan = du.Rect(183, 32, 36, 14);
    scan.setLeft(std::min(scan.left(), scan.right() + 1 - m_btnScan->sizeHint().width()));
    m_btnScan->setGeometry(scan);
    connect(m_btnScan, &QPushButton::clicked, this, [this] { OnScan(); });

    m_chkOrderPaths = new QCheckBox(QStringLiteral("Order paths"), this);
    m_chkOrderPaths->setObjectName(QStringLiteral("orderPaths"));
    m_chkOrderPaths->setGeometry(du.Rect(101, 71, 118, 10));
    connect(m_chkOrderPaths, &QCheckBox::toggled, this, [this](bool on) {
        m_bOrderPaths = on;
        EnableTravelOrder();
    });
    m_chkTravelOrder = new QCheckBox(QStringLiteral("shortest travel"), this);
    m_chkTravelOrder->setObjectName(QStringLiteral("travelOrder"));
    m_chkTravelOrder->setGeometry(du.Rect(111, 83, 108, 10));
    connect(m_chkTravelOrder, &QCheckBox::toggled, this, [this](bool on) { m_bTravelOrder = on; });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    ok->setGeometry(du.Rect(135, 104, 36, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    cancel->setGeometry(du.Rect(183, 104, 36, 14));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Tab runs OK, Cancel, the flavours, then Scan before the file name.
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_flavourButtons[0]);
    for (int i = 1; i < FlavourCount; ++i) setTabOrder(m_flavourButtons[i - 1], m_flavourButtons[i]);
    setTabOrder(m_flavourButtons[FlavourCount - 1], m_chkOrderPaths);
    setTabOrder(m_chkOrderPaths, m_chkTravelOrder);
    setTabOrder(m_chkTravelOrder, m_btnScan);
    setTabOrder(m_btnScan, m_editFileName);

    setFixedSize(du.Rect(0, 0, 235, 125).size());
}

void CImportDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) OnInitDialog();
    QDialog::showEvent(event);
}

void CImportDlg::OnInitDialog() {
    // A drawing dropped on the window or named on the command line has only one flavour.
    const int drawing = m_strFileName.isEmpty() ? 0 : DrawingFlavourOf(m_strFileName.toStdString());
    const bool known = m_nInitialFlavour >= 1 && m_nInitialFlavour <= FlavourCount;
    m_nFlavour = drawing != 0 ? drawing : known ? m_nInitialFlavour : 1;
    m_flavourButtons[m_nFlavour - 1]->setChecked(true);
    m_editFileName->setText(m_strFileName);
    m_chkOrderPaths->setChecked(m_bOrderPaths);
    m_chkOrderPaths->setEnabled(OrdersPaths(m_nFlavour));
    m_chkTravelOrder->setChecked(m_bTravelOrder);
    EnableTravelOrder();
    m_editFileName->setFocus();
}

void CImportDlg::EnableTravelOrder() {
    m_chkTravelOrder->setEnabled(m_chkOrderPaths->isEnabled() && m_chkOrderPaths->isChecked());
}

void CImportDlg::OnFlavourClicked(int flavour) {
    m_nFlavour = flavour;
    m_chkOrderPaths->setEnabled(OrdersPaths(flavour));
    EnableTravelOrder();
}

void CImportDlg::OnScan() {
    QFileDialog dialog(this, QString(), CRecentDirectory::Get());
    const QString drawings =
        QStringLiteral("Drawings (*.svg *.SVG *.svgz *.eps *.EPS *.ps *.PS *.pdf *.PDF *.ai *.AI)");
    dialog.setNameFilters({QStringLiteral("Plotter files (*.plt *.PLT *.hpgl *.hpg *.hp *.dmpl)"), drawings,
                           QStringLiteral("All files (*)")});
    // A drawing flavour looks for drawings first.
    if (m_nFlavour == FlavourSvg || m_nFlavour == FlavourPostScript) dialog.selectNameFilter(drawings);
    dialog.setObjectName(QStringLiteral("scanDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = dialog.selectedFiles().constFirst();
        CRecentDirectory::RememberFile(path);
        m_editFileName->setText(path);
        if (const int drawing = DrawingFlavourOf(path.toStdString()); drawing != 0)
            m_flavourButtons[drawing - 1]->click();
    } else {
        m_editFileName->clear();
    }
}

void CImportDlg::accept() {
    m_strFileName = m_editFileName->text();
    QDialog::accept();
}

}  // namespace velkar
