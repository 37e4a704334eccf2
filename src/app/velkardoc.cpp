#include "app/velkardoc.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

#include "app/dialogs/messagebox.h"

namespace velkar {

CVelkarDoc::CVelkarDoc(QObject* parent) : QObject(parent) { OnNewDocument(); }

bool CVelkarDoc::OnNewDocument() {
    m_strPathName.clear();
    SetTitle(QStringLiteral("Velkar"));
    return true;
}

bool CVelkarDoc::OnOpenDocument(const QString& path) {
    m_strPathName = QFileInfo(path).absoluteFilePath();
    SetTitle(QFileInfo(path).fileName());
    emit pathUsed(m_strPathName);
    emit updateAllViews();
    return true;
}

void CVelkarDoc::SetTitle(const QString& title) {
    m_strTitle = title;
    emit titleChanged(title);
}

void CVelkarDoc::OnFileSave() { DoSave(m_strPathName.isEmpty()); }

void CVelkarDoc::OnFileSaveAs() { DoSave(true); }

bool CVelkarDoc::DoSave(bool askName) {
    QString path = m_strPathName;
    if (askName) {
        QFileDialog dialog(m_pDialogParent, QString(), QString(), QString());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.selectFile(m_strPathName.isEmpty() ? m_strTitle : m_strPathName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        path = dialog.selectedFiles().constFirst();
    }
    if (!OnSaveDocument(path)) return false;
    m_strPathName = QFileInfo(path).absoluteFilePath();
    SetTitle(QFileInfo(path).fileName());
    emit pathUsed(m_strPathName);
    return true;
}

bool CVelkarDoc::OnSaveDocument(const QString& path) {
    // The document has no content, so the file written is empty; it replaces
    // an existing file only once it has been written completely.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.commit()) {
        ShowMessage(m_pDialogParent, QStringLiteral("Cannot save %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

}  // namespace velkar
