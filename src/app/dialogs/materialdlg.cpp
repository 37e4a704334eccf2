#include "app/dialogs/materialdlg.h"

#include <algorithm>

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "serial/profile.h"
#include "app/dialogs/numberedit.h"

namespace velkar {

CMaterialDlg::CMaterialDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Material"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(ok, &QPushButton::clicked, this, &CMaterialDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CMaterialDlg::reject);

    m_pEditWidth = new CNumberEdit(CNumberEdit::Kind::Integer, 0.0, 1000000.0, this);
    m_pEditWidth->setObjectName(QStringLiteral("edit1000"));
    m_pEditLength = new CNumberEdit(CNumberEdit::Kind::Integer, 0.0, 1000000.0, this);
    m_pEditLength->setObjectName(QStringLiteral("edit1001"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Width\uFF1A"), this), 0, 0);
    grid->addWidget(m_pEditWidth, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 0, 2);
    grid->addWidget(ok, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Length\uFF1A"), this), 1, 0);
    grid->addWidget(m_pEditLength, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("mm"), this), 1, 2);
    grid->addWidget(cancel, 1, 3);
    setTabOrder(ok, m_pEditWidth);
    setTabOrder(m_pEditWidth, m_pEditLength);
    setTabOrder(m_pEditLength, cancel);
}

int CMaterialDlg::exec() {
    m_pEditLength->Show(m_nLength);
    m_pEditWidth->Show(m_nWidth);
    m_pEditWidth->TakeFocus();
    return QDialog::exec();
}

void CMaterialDlg::accept() {
    std::int32_t length = m_nLength;
    std::int32_t width = m_nWidth;
    if (!m_pEditLength->Take(length) || !m_pEditWidth->Take(width)) return;
    m_nLength = length;
    m_nWidth = width;
    QDialog::accept();
}

int CMaterialDlg::RunWithProfile(QWidget* parent) {
    const MaterialSize stored = LoadMaterialSize();
    CMaterialDlg dlg(parent);
    // atol may yield more than a 32-bit field holds; the dialog shows it clamped.
    dlg.m_nLength = static_cast<std::int32_t>(std::clamp<long>(stored.length, INT32_MIN, INT32_MAX));
    dlg.m_nWidth = static_cast<std::int32_t>(std::clamp<long>(stored.width, INT32_MIN, INT32_MAX));
    const int result = dlg.exec();
    if (result == QDialog::Accepted) SaveMaterialSize(MaterialSize{dlg.m_nLength, dlg.m_nWidth});
    return result;
}

}  // namespace velkar
