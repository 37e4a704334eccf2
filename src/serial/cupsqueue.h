#pragma once

#include <QStringList>

#include "serial/cuttertransport.h"

namespace velkar {

// A cutter shared through the print system: the job's bytes go to the queue
// ("cups:QUEUE") as one raw job, named by the title given to Open, on the
// server that the print system's own settings name (CUPS_SERVER, client.conf).
// The queue passes them on unchanged; what happens after the submission (the
// wait in the queue, the line to the cutter) is the print system's to report.
//
// A queue that does not exist, is stopped or refuses jobs is refused at Open
// with a message naming it. Abandon cancels the job, so that a send that did
// not complete is never cut in part.
class CCupsQueue : public CutterTransport {
public:
    static constexpr const char* Scheme = "cups:";

    CCupsQueue() = default;
    ~CCupsQueue() override;
    CCupsQueue(const CCupsQueue&) = delete;
    CCupsQueue& operator=(const CCupsQueue&) = delete;

    // "cups:NAME" for every queue the print system offers; empty when it offers
    // none or cannot be reached.
    static QStringList ListQueues();

    bool Open(const CSerialSettings& settings, const QString& device, const QString& title) override;
    void Abandon() override;
    bool Close() override;

    Status Write(const char* data, std::size_t n, OutputWait& wait) override;
    std::string ErrorText() const override { return m_strError.toStdString(); }
    const QString& OpenError() const override { return m_strOpenError; }
    const QString& DevicePath() const override { return m_strDevice; }
    // The print system's number of the job, 0 before one was made (at the first write).
    int JobId() const { return m_nJobId; }

private:
    bool FailOpen(const QString& reason);
    bool StartJob();
    void SetError(const QString& what);

    QString m_strDevice;
    QByteArray m_queue;
    QByteArray m_title;
    bool m_bOpen = false;
    int m_nJobId = 0;
    bool m_bDocument = false;  // the document is open for writing
    bool m_bCancelled = false;
    QString m_strOpenError;
    QString m_strError;
};

}  // namespace velkar
