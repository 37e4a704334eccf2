#include "app/dialogs/messagebox.h"

#include <QMessageBox>

namespace velkar {

QString AppTitle() { return QStringLiteral("Velkar"); }

void ShowMessage(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption.isEmpty() ? AppTitle() : caption, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace velkar
