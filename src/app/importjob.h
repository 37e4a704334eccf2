#pragma once

#include <QString>

class QWidget;

namespace velkar {

struct JobState;

// The Import command: asks for the plotter file and the program
// that wrote it, recognises the plotter type, decides where the job file goes
// and leaves the conversion pending for the view's next paint.
//
// Every refusal is told to the operator in a message box: "can't made temp dir
// in diver c:" (the private temporary directory is unusable), "you don't select
// file", "cannot open FILE: REASON", "can't made temp file in diver c:" (neither
// the job path beside the plotter file nor the fallback job in the temporary
// directory can be written), "file type error", "file type isn't CAD".
class CImportJob {
public:
    CImportJob(JobState& state, QWidget* parent) : m_state(state), m_pParent(parent) {}

    // prefill: the plotter file to put into the dialog's file name (a file
    // named on the command line or dropped on the window). True when a
    // conversion is left pending.
    bool Run(const QString& prefill = QString());

private:
    void Refuse(const QString& text);

    JobState& m_state;
    QWidget* m_pParent;
};

}  // namespace velkar
