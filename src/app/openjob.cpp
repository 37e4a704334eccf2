#include "app/openjob.h"

#include <QFileDialog>
#include <QFileInfo>

#include "app/recentdirectory.h"
#include "job/jobreader.h"
#include "job/tempdir.h"
#include "view/messagebox.h"
#include "view/velkarview.h"

namespace velkar {

void COpenJob::Run() {
    try {
        PrivateTempDir();
    } catch (const TempDirError&) {
        ShowMessage(m_view.window(), QStringLiteral("can't made temp dir in diver c:"));
        return;
    }
    QFileDialog dialog(m_view.window(), QString(), CRecentDirectory::Get(), QStringLiteral("PT1 Files(*.PT1 *.pt1)"));
    dialog.setObjectName(QStringLiteral("openDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        m_view.OnUpdate();
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    CRecentDirectory::RememberFile(path);
    OpenPath(path);
}

void COpenJob::OpenPath(const QString& path) {
    CVelkarView& v = m_view;
    v.m_strSourcePath = QFileInfo(path).absoluteFilePath();

    // A job that cannot be opened or read is told with the reason, so a silent
    // non-event is never taken for a successful Open.
    JobReader reader;
    if (!reader.Open(v.m_strSourcePath.toStdString())) {
        ShowMessage(v.window(), QStringLiteral("cannot open ") % v.m_strSourcePath % QStringLiteral(": ") %
                                    QString::fromStdString(SystemErrorText(reader.OpenError())));
        return;
    }
    JobRecord work;
    JobHeader header;
    try {
        header = ReadJobHeader(reader, work);
    } catch (const FileError& e) {
        ShowMessage(v.window(), QStringLiteral("cannot read ") % v.m_strSourcePath % QStringLiteral(": ") %
                                    QString::fromStdString(e.Reason()));
        return;
    }
    reader.Close();
    if (!header.valid) {
        ShowMessage(v.window(), QStringLiteral("file type error"));
        return;
    }

    v.m_strJobPath = v.m_strSourcePath;
    emit v.titleRequested(v.m_strJobPath);
    v.m_fMoveX = 0.0f;
    v.m_fMoveY = 0.0f;
    v.OnUpdate();
}

}  // namespace velkar
