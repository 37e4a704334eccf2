#include "app/openjob.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "app/dialogs/recentdirectory.h"
#include "app/recentfilelist.h"
#include "job/jobreader.h"
#include "job/tempdir.h"
#include "app/dialogs/messagebox.h"
#include "app/jobstate.h"

namespace velkar {

namespace {

// The folder of the job on screen, else of the file used last in an earlier
// run, else where a file was picked last. The private temporary folder, where
// a fallback job lies, is nobody's working folder.
QString StartFolder(const QString& job, const QString& tempDir) {
    CRecentFileList recent;
    recent.Load();
    for (const QString& file : {job, recent.Entries().value(0)}) {
        if (file.isEmpty()) continue;
        const QFileInfo folder(QFileInfo(file).absolutePath());
        if (folder.isDir() && folder.absoluteFilePath() != QDir(tempDir).absolutePath())
            return folder.absoluteFilePath();
    }
    return CRecentDirectory::Get();
}

}  // namespace

bool COpenJob::Run() {
    std::string tempDir;
    try {
        tempDir = PrivateTempDir();
    } catch (const TempDirError&) {
        ShowMessage(m_pParent, QStringLiteral("can't made temp dir in diver c:"));
        return false;
    }
    QFileDialog dialog(m_pParent, QString(), StartFolder(m_state.m_strJobPath, QString::fromStdString(tempDir)),
                       QStringLiteral("PT1 Files(*.PT1 *.pt1)"));
    dialog.setObjectName(QStringLiteral("openDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    const QString path = dialog.selectedFiles().constFirst();
    CRecentDirectory::RememberFile(path);
    return OpenPath(path);
}

bool COpenJob::OpenPath(const QString& path) {
    JobState& v = m_state;
    v.m_strSourcePath = QFileInfo(path).absoluteFilePath();

    // A job that cannot be opened or read is told with the reason, so a silent
    // non-event is never taken for a successful Open.
    JobReader reader;
    if (!reader.Open(v.m_strSourcePath.toStdString())) {
        ShowMessage(m_pParent, QStringLiteral("cannot open ") % v.m_strSourcePath % QStringLiteral(": ") %
                                    QString::fromStdString(SystemErrorText(reader.OpenError())));
        return false;
    }
    JobRecord work;
    JobHeader header;
    try {
        header = ReadJobHeader(reader, work);
    } catch (const FileError& e) {
        ShowMessage(m_pParent, QStringLiteral("cannot read ") % v.m_strSourcePath % QStringLiteral(": ") %
                                    QString::fromStdString(e.Reason()));
        return false;
    }
    reader.Close();
    if (!header.valid) {
        ShowMessage(m_pParent, QStringLiteral("file type error"));
        return false;
    }

    v.m_strJobPath = v.m_strSourcePath;
    v.m_fMoveX = 0.0f;
    v.m_fMoveY = 0.0f;
    return true;
}

}  // namespace velkar
