#include "serial/cupsqueue.h"

#include <cstring>

#include <cups/cups.h>

namespace velkar {

namespace {

QString LastCupsError() { return QString::fromUtf8(cupsLastErrorString()); }

bool Failed(ipp_status_t status) { return status > IPP_STATUS_OK_CONFLICTING; }

}  // namespace

CCupsQueue::~CCupsQueue() {
    // A job never closed was not completed.
    if (m_bDocument) Abandon();
}

QStringList CCupsQueue::ListQueues() {
    QStringList names;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i) {
        if (dests[i].instance) continue;  // an instance is the same queue with other options
        names << QLatin1StringView(Scheme) + QString::fromUtf8(dests[i].name);
    }
    cupsFreeDests(count, dests);
    return names;
}

bool CCupsQueue::FailOpen(const QString& reason) {
    m_strOpenError = reason;
    return false;
}

void CCupsQueue::SetError(const QString& what) {
    m_strError = m_strDevice + QStringLiteral(": ") + what;
    const QString detail = LastCupsError();
    if (!detail.isEmpty()) m_strError += QStringLiteral(": ") + detail;
}

bool CCupsQueue::Open(const CSerialSettings&, const QString& device, const QString& title) {
    if (m_bOpen) return true;
    m_strDevice = device;
    m_strOpenError.clear();
    m_strError.clear();
    const QString name = device.mid(static_cast<qsizetype>(std::strlen(Scheme)));
    if (name.isEmpty()) return FailOpen(device + QStringLiteral(": no queue is named"));
    m_queue = name.toUtf8();

    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, m_queue.constData(), nullptr);
    if (!dest) {
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND || cupsLastError() <= IPP_STATUS_OK_CONFLICTING)
            return FailOpen(device + QStringLiteral(": the print system has no queue of that name"));
        return FailOpen(device + QStringLiteral(": the print system cannot be reached: ") + LastCupsError());
    }
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const char* message = cupsGetOption("printer-state-message", dest->num_options, dest->options);
    const QString because =
        message && *message ? QStringLiteral(" (") + QString::fromUtf8(message) + QLatin1Char(')') : QString();
    const bool stopped = state && std::strcmp(state, "5") == 0;
    const bool refusing = accepting && std::strcmp(accepting, "false") == 0;
    cupsFreeDests(1, dest);
    if (stopped)
        return FailOpen(device + QStringLiteral(": the queue is stopped") + because +
                        QStringLiteral("; start it with: cupsenable ") + name);
    if (refusing)
        return FailOpen(device + QStringLiteral(": the queue does not accept jobs") + because +
                        QStringLiteral("; let it with: cupsaccept ") + name);

    m_title = title.isEmpty() ? QByteArrayLiteral("velkar") : title.toUtf8();
    m_bOpen = true;
    return true;
}

bool CCupsQueue::StartJob() {
    // Made at the first bytes, so that a send declined or empty leaves no job behind.
    m_nJobId = cupsCreateJob(CUPS_HTTP_DEFAULT, m_queue.constData(), m_title.constData(), 0, nullptr);
    if (m_nJobId <= 0) {
        m_nJobId = 0;
        SetError(QStringLiteral("the job was not taken"));
        return false;
    }
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, m_queue.constData(), m_nJobId, m_title.constData(), CUPS_FORMAT_RAW,
                          1) != HTTP_STATUS_CONTINUE) {
        SetError(QStringLiteral("the job was not taken"));
        cupsCancelJob2(CUPS_HTTP_DEFAULT, m_queue.constData(), m_nJobId, 0);
        m_bCancelled = true;
        return false;
    }
    m_bDocument = true;
    return true;
}

CutterOutput::Status CCupsQueue::Write(const char* data, std::size_t n, OutputWait&) {
    if (!m_bOpen || !m_strError.isEmpty()) {
        if (m_strError.isEmpty()) m_strError = m_strDevice + QStringLiteral(": the queue is not open");
        return Status::Failed;
    }
    if (!m_bDocument && (m_nJobId > 0 || !StartJob())) return Status::Failed;
    if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, data, n) != HTTP_STATUS_CONTINUE) {
        SetError(QStringLiteral("the job could not be handed over"));
        return Status::Failed;
    }
    return Status::Written;
}

void CCupsQueue::Abandon() {
    if (m_nJobId <= 0 || m_bCancelled) return;
    m_bCancelled = true;
    if (!m_bDocument) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, m_queue.constData(), m_nJobId, 0);
        return;
    }
    // The job is cancelled on a connection of its own before the open document
    // is ended, so that no part of it is ever passed on to the cutter.
    if (http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr)) {
        cupsCancelJob2(http, m_queue.constData(), m_nJobId, 0);
        httpClose(http);
    }
    cupsFinishDocument(CUPS_HTTP_DEFAULT, m_queue.constData());
    m_bDocument = false;
}

bool CCupsQueue::Close() {
    m_bOpen = false;
    if (!m_bDocument) return !m_bCancelled && m_strError.isEmpty();
    m_bDocument = false;
    if (Failed(cupsFinishDocument(CUPS_HTTP_DEFAULT, m_queue.constData()))) {
        SetError(QStringLiteral("the job was not completed"));
        cupsCancelJob2(CUPS_HTTP_DEFAULT, m_queue.constData(), m_nJobId, 0);
        return false;
    }
    return m_strError.isEmpty();
}

}  // namespace velkar
