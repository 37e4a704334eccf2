#include "app/cutjob.h"

#include <algorithm>
#include <memory>

#include <QFileInfo>
#include <QPointer>

#include "app/progresssendhooks.h"
#include "app/progresswnd.h"
#include "cutter/cuttersend.h"
#include "cutter/sendestimate.h"
#include "serial/commport.h"
#include "serial/cuttertransport.h"
#include "serial/lineparameters.h"
#include "serial/profile.h"
#include "serial/serialsettings.h"
#include "app/dialogs/messagebox.h"
#include "app/jobstate.h"

namespace velkar {

namespace {

QPointer<CProgressWnd> s_pRunning;

}  // namespace

CProgressWnd* CCutJob::Running() { return s_pRunning.data(); }

QString CCutJob::Duration(qint64 ms) {
    const qint64 seconds = (std::max<qint64>(ms, 0) + 500) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void CCutJob::Run() {
    JobState& v = m_state;
    QWidget* parent = m_pOwner->window();

    CutterSendOptions options;
    options.sharpMm = v.m_fSharpOffset;
    options.closeMm = v.m_fCloseOffset;
    options.moveXMm = v.m_fMoveX;
    options.moveYMm = v.m_fMoveY;
    options.defineColor = v.m_bDefineColor;
    options.penTip = v.m_bDefineColor && v.m_bPenTip;
    options.compact = v.m_bCompact;
    // The chosen COM number names the device and the language its cutter speaks.
    CSerialSettings settings;
    settings.LoadSettings();
    const int portNumber = TextToInt(settings.GetPort());
    const QString device = settings.DeviceForPort(portNumber);
    const QString dialect = settings.DialectForPort(portNumber);
    if (portNumber >= 1 && portNumber <= 4 && !CutterDialect::FromStoredText(dialect.toStdString(), options.dialect)) {
        ShowMessage(parent, QStringLiteral("COM%1: the stored dialect '%2' is not one of Velkar, HP-GL")
                                .arg(portNumber)
                                .arg(dialect));
        return;
    }
    if (QString knifeError; !LoadKnifeSettings(options.knives, knifeError)) {
        ShowMessage(parent, knifeError);
        return;
    }
    if (const std::string problem = CCutterSend::CheckOptions(options); !problem.empty()) {
        ShowMessage(parent, QString::fromStdString(problem));
        return;
    }
    CCutterSend send(options);
    if (!send.OpenJob(v.m_strJobPath.toStdString())) {
        ShowMessage(parent, send.JobRefusal().empty() ? QString::fromStdString(send.ErrorText())
                                                      : QStringLiteral("file type error\n") %
                                                            QString::fromStdString(send.JobRefusal()));
        return;
    }
    v.m_nJobRecords = send.JobRecords();

    const std::unique_ptr<CutterTransport> transport = CutterTransport::ForDevice(device);
    CutterTransport& port = *transport;
    if (!port.Open(settings, device, QFileInfo(v.m_strJobPath).fileName())) {
        ShowMessage(parent, QString::fromLatin1(CCommPort::CantOpenText) % QLatin1Char('\n') % port.OpenError());
        return;
    }

    // What the send will take, for the question and the time left; a job that
    // cannot be read through is told by the send itself.
    CSendEstimate estimate;
    const bool estimated = estimate.Run(v.m_strJobPath.toStdString(), options);
    LineParameters line;
    QString lineError;
    const bool lineKnown = line.FromSettings(settings, lineError);
    const int bitsPerByte = 1 + line.dataBits + (line.parity != 'N') + (line.twoStopBits ? 2 : 1);

    CProgressWnd progress(m_pOwner, QStringLiteral("send..."), true);
    progress.OfferPause();
    s_pRunning = &progress;
    CProgressSendHooks hooks(progress, parent);
    hooks.SetTarget(QStringLiteral("COM%1: %2, %3").arg(portNumber).arg(port.DevicePath(), dialect));
    hooks.SetWarning(m_strWarning);
    if (estimated) {
        if (lineKnown)
            hooks.SetEstimate(QString::fromStdString(CSendEstimate::Summary(
                CSendEstimate::LineSeconds(estimate.Bytes(), line.baud, bitsPerByte), line.baud, estimate.CutMetres())));
        hooks.SetTimeLeftSource(&send, estimate.Bytes());
        hooks.SetPaths(estimate.Paths());
    }
    const CCutterSend::Result result = send.Send(hooks, port);
    if (result != CCutterSend::Result::Completed) port.Abandon();
    const bool delivered = port.Close();
    s_pRunning.clear();

    switch (result) {
        case CCutterSend::Result::Completed:
            if (delivered)
                m_strEndText = QStringLiteral("sent %1 records in %2")
                                   .arg(send.RecordsSent())
                                   .arg(Duration(hooks.ElapsedMs()));
            else if (!port.ErrorText().empty())
                ShowMessage(parent, QStringLiteral("send stopped: ") % QString::fromStdString(port.ErrorText()));
            else
                ShowMessage(parent, estimated ? QString::fromLatin1(CCutterSend::CancelText) % QLatin1Char('\n') % hooks.StoppedText()
                                              : QString::fromLatin1(CCutterSend::CancelText));
            break;
        case CCutterSend::Result::Declined:
        case CCutterSend::Result::Cancelled:
        case CCutterSend::Result::Abandoned:
            break;
        case CCutterSend::Result::OutputFailed: {
            QString text = QStringLiteral("send stopped: ") + QString::fromStdString(send.ErrorText());
            if (estimated) text += QStringLiteral("; ") + hooks.StoppedText();
            if (send.LeftUnfinished()) text += QLatin1Char('\n') + QString::fromLatin1(CCutterSend::UnfinishedText);
            ShowMessage(parent, text);
            break;
        }
        case CCutterSend::Result::ReadFailed:
            ShowMessage(parent, QString::fromStdString(send.ErrorText()));
            break;
    }
}

}  // namespace velkar
