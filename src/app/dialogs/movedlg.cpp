#include "app/dialogs/movedlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/dialogs/numberedit.h"

namespace velkar {

CMoveDlg::CMoveDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Pictuer Move"));
    m_pEditX = new CNumberEdit(this);
    m_pEditX->setObjectName(QStringLiteral("edit1020"));
    m_pEditY = new CNumberEdit(this);
    m_pEditY->setObjectName(QStringLiteral("edit1021"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &CMoveDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CMoveDlg::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("X axial:"), this), 0, 0);
    grid->addWidget(m_pEditX, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 0, 2);
    grid->addWidget(ok, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Y axial:"), this), 1, 0);
    grid->addWidget(m_pEditY, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 1, 2);
    grid->addWidget(cancel, 1, 3);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_pEditX);
    setTabOrder(m_pEditX, m_pEditY);
}

int CMoveDlg::exec() {
    m_pEditX->Show(m_fMoveX);
    m_pEditY->Show(m_fMoveY);
    m_pEditX->TakeFocus();
    return QDialog::exec();
}

void CMoveDlg::accept() {
    float x = m_fMoveX;
    float y = m_fMoveY;
    if (!m_pEditX->Take(x) || !m_pEditY->Take(y)) return;
    m_fMoveX = x;
    m_fMoveY = y;
    QDialog::accept();
}

}  // namespace velkar
