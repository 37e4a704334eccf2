#include "app/importjob.h"

#include <sys/stat.h>

#include <QFileInfo>

#include "app/dialogs/importdlg.h"
#include "app/flavourchoice.h"
#include "app/dialogs/messagebox.h"
#include "app/jobstate.h"
#include "drawingimport/drawingflavour.h"
#include "import/plottertype.h"
#include "import/standardplotreader.h"
#include "job/binaryfile.h"
#include "job/filereplacement.h"
#include "job/tempdir.h"
#include "serial/profile.h"

namespace velkar {

namespace {

// Section "import", key "flavour": the flavour of the last import, 1 to 5.
QString FlavourKey() { return QStringLiteral("import/flavour"); }

// A job path is usable when a complete job can replace what stands there; the
// check leaves nothing behind.
bool CanWriteJob(const std::string& path, const std::string& source) {
    // A job path that is the plotter file itself (a plotter file named *.PT1)
    // would be replaced by its own conversion.
    struct stat a {
    }, b{};
    if (::stat(path.c_str(), &a) == 0 && ::stat(source.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino)
        return false;
    return FileReplacement::Check(path).empty();
}

}  // namespace

void CImportJob::Refuse(const QString& text) {
    ShowMessage(m_pParent, text);
}

bool CImportJob::Run(const QString& prefill) {
    std::string tempDir;
    try {
        tempDir = PrivateTempDir();
    } catch (const TempDirError&) {
        Refuse(QStringLiteral("can't made temp dir in diver c:"));
        return false;
    }

    CImportDlg dlg(m_pParent);
    dlg.m_strFileName = prefill;
    // A file handed over is offered with the flavour that reads it; otherwise
    // the one the operator used last.
    dlg.m_nInitialFlavour = prefill.isEmpty() ? OpenProfile()->value(FlavourKey(), 1).toInt()
                                              : FlavourThatReads(QFileInfo(prefill).absoluteFilePath().toStdString());
    if (dlg.exec() != QDialog::Accepted) return false;

    JobState& v = m_state;
    v.m_nImportFlavour = dlg.m_nFlavour;
    v.m_bOrderPaths = dlg.m_bOrderPaths;
    v.m_bTravelOrder = dlg.m_bTravelOrder;
    // A typed relative name means the directory the program was started in.
    v.m_strSourcePath = dlg.m_strFileName.isEmpty() ? QString() : QFileInfo(dlg.m_strFileName).absoluteFilePath();
    if (v.m_strSourcePath.isEmpty()) {
        Refuse(QStringLiteral("you don't select file"));
        return false;
    }

    const std::string source = v.m_strSourcePath.toStdString();
    std::string first39;
    int error = 0;
    // An unreadable plotter file is told, not passed over in silence: the
    // operator would otherwise see the previous job and think the import worked.
    try {
        if (!ReadRecognitionText(source, first39, error)) {
            Refuse(QStringLiteral("cannot open ") % v.m_strSourcePath % QStringLiteral(": ") %
                   QString::fromStdString(SystemErrorText(error)));
            return false;
        }
    } catch (const FileError& e) {
        Refuse(QStringLiteral("cannot read ") % v.m_strSourcePath % QStringLiteral(": ") %
               QString::fromStdString(e.Reason()));
        return false;
    }
    v.m_nFileType = RecognizePlotterType(first39);

    std::string job = DeriveJobPath(source);
    if (!CanWriteJob(job, source)) {
        job = tempDir + "/" + FallbackJobName;
        if (!CanWriteJob(job, source)) {
            Refuse(QStringLiteral("can't made temp file in diver c:"));
            return false;
        }
    }

    // A drawing is imported as one whatever flavour was clicked; "Standard PLT"
    // and the drawings read the content, whatever the first characters say.
    if (const int drawing = DrawingFlavourOf(source); drawing != 0) v.m_nImportFlavour = drawing;
    const bool readsContent = v.m_nImportFlavour == FlavourStandard || v.m_nImportFlavour == FlavourSvg ||
                              v.m_nImportFlavour == FlavourPostScript;
    const std::string refusal = readsContent ? std::string() : CheckFlavourAndType(v.m_nImportFlavour, v.m_nFileType);
    if (!refusal.empty()) {
        Refuse(QString::fromStdString(refusal));
        return false;
    }
    // A refused import keeps the job on screen and the one Cut sends; so does a
    // conversion that fails later (it returns to m_strJobBeforeImport).
    v.m_strJobBeforeImport = v.m_strJobPath;
    v.m_strJobPath = QString::fromStdString(job);

    v.m_bConvertPending = true;
    v.m_fMoveX = 0.0f;
    v.m_fMoveY = 0.0f;
    // A drawing's flavour follows from its file, so the next import of a
    // plotter file starts from the plotter flavour used last.
    if (dlg.m_nFlavour >= FlavourZorvex && dlg.m_nFlavour <= FlavourStandard)
        OpenProfile()->setValue(FlavourKey(), dlg.m_nFlavour);
    return true;
}

}  // namespace velkar
