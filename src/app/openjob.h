#pragma once

#include <QString>

class QWidget;

namespace velkar {

struct JobState;

// The Open command: picks a PT1 job file, checks its three
// headers and makes it the job on screen, drawn and sent as it is.
//
// Told to the operator: "can't made temp dir in diver c:" (the private
// temporary directory is unusable), "cannot open FILE: REASON", and "file type
// error" when the first three records are not the headers 200, 201, 202 in this
// order (a file shorter than three records included). A refused file leaves
// the job as it was.
class COpenJob {
public:
    COpenJob(JobState& state, QWidget* parent) : m_state(state), m_pParent(parent) {}

    // Asks for the file with a file dialog that starts in the folder of the
    // job on screen, else of the newest recent file, else where a file was
    // picked last. True when a job was opened.
    bool Run();
    // Opens path without asking (a file named on the command line or dropped).
    bool OpenPath(const QString& path);

private:
    JobState& m_state;
    QWidget* m_pParent;
};

}  // namespace velkar
