#include "app/dialogs/aboutdlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "render/artwork.h"

namespace velkar {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Velkar"));
    auto* icon = new QLabel(this);
    icon->setPixmap(CArtwork::Pixmap(QStringLiteral(":/velkar/icons/velkar.svg"), QSize(32, 32), devicePixelRatioF()));
    auto* text = new QLabel(QStringLiteral("Velkar 1.4 Ver"), this);
    text->setObjectName(QStringLiteral("version"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CAboutDlg::accept);

    auto* row = new QHBoxLayout(this);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1, Qt::AlignTop);
    row->addWidget(ok, 0, Qt::AlignTop);
}

}  // namespace velkar
