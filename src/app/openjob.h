#pragma once

#include <QString>

namespace velkar {

class CVelkarView;

// The Open command of the view: picks a PT1 job file, checks its three
// headers and makes it the view's job, drawn and sent as it is.
//
// Told to the operator: "can't made temp dir in diver c:" (the private
// temporary directory is unusable), "cannot open FILE: REASON", and "file type
// error" when the first three records are not the headers 200, 201, 202 in this
// order (a file shorter than three records included). A refused file leaves
// the view's job as it was.
class COpenJob {
public:
    explicit COpenJob(CVelkarView& view) : m_view(view) {}

    // Asks for the file with a file dialog that starts where the operator
    // picked a file last; a cancelled dialog only repaints the view.
    void Run();
    // Opens path without asking (a file named on the command line or dropped).
    void OpenPath(const QString& path);

private:
    CVelkarView& m_view;
};

}  // namespace velkar
