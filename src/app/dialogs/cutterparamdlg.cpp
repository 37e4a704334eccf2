#include "app/dialogs/cutterparamdlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/dialogs/numberedit.h"

namespace velkar {

CCutterParamDlg::CCutterParamDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Cuter Parameter"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &CCutterParamDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCutterParamDlg::reject);

    m_pEditSharp = new CNumberEdit(CNumberEdit::Kind::Decimal, 0.0, 2.0, this);
    m_pEditSharp->setObjectName(QStringLiteral("edit1020"));
    m_pEditClose = new CNumberEdit(CNumberEdit::Kind::Decimal, 0.0, 5.0, this);
    m_pEditClose->setObjectName(QStringLiteral("edit1021"));
    m_pEditSmooth = new CNumberEdit(CNumberEdit::Kind::Decimal, 0.0, 10.0, this);
    m_pEditSmooth->setObjectName(QStringLiteral("edit1008"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Sharp Offset\uFF1A"), this), 0, 0);
    grid->addWidget(m_pEditSharp, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 0, 2);
    grid->addWidget(ok, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Close Offset\uFF1A"), this), 1, 0);
    grid->addWidget(m_pEditClose, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 1, 2);
    grid->addWidget(cancel, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Smooth:"), this), 2, 0);
    grid->addWidget(m_pEditSmooth, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 2, 2);
    m_pCheckCompact = new QCheckBox(QStringLiteral("Leave out moves to where the knife already is"), this);
    m_pCheckCompact->setObjectName(QStringLiteral("compact"));
    grid->addWidget(m_pCheckCompact, 3, 0, 1, 4);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_pEditSharp);
    setTabOrder(m_pEditSharp, m_pEditClose);
    setTabOrder(m_pEditClose, m_pEditSmooth);
    setTabOrder(m_pEditSmooth, m_pCheckCompact);
}

int CCutterParamDlg::exec() {
    m_pEditSharp->Show(m_fSharpOffset);
    m_pEditClose->Show(m_fCloseOffset);
    m_pEditSmooth->Show(m_fSmooth);
    m_pCheckCompact->setChecked(m_bCompact);
    // Smooth is shown for information only.
    m_pEditSmooth->setEnabled(false);
    m_pEditSharp->TakeFocus();
    return QDialog::exec();
}

void CCutterParamDlg::accept() {
    float sharp = m_fSharpOffset;
    float close = m_fCloseOffset;
    float smooth = m_fSmooth;
    if (!m_pEditSharp->Take(sharp) || !m_pEditClose->Take(close) || !m_pEditSmooth->Take(smooth)) return;
    m_fSharpOffset = sharp;
    m_fCloseOffset = close;
    m_fSmooth = smooth;
    m_bCompact = m_pCheckCompact->isChecked();
    QDialog::accept();
}

}  // namespace velkar
