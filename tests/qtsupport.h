#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QString>

#include "job/jobrecord.h"

class QWidget;

namespace velkar {
class CVelkarApp;
}

namespace velkar::test {

// Runs action on the next modal widget that opens (a dialog shown with exec()
// after this call), from inside that dialog's own event loop.
void OnNextModal(std::function<void(QWidget*)> action);

// Arranges for the next message box to be answered with OK; its text lands in *text.
void AnswerNextMessage(QString* text);

// Clicks the push button named objectName inside w.
void Click(QWidget* w, const char* objectName);
// Replaces the text of the line edit named objectName inside w.
void SetEdit(QWidget* w, const char* objectName, const QString& text);

// Writes a job with its three headers: count (body + 3), the given
// orientation flag and maximum y, then the body.
void WriteJob(const std::string& path, const std::vector<JobRecord>& body, std::int32_t orientation,
              std::int32_t maxY);

// Empties the profile (the tests run with their own XDG_CONFIG_HOME).
void ClearProfile();
// Starts the desktop program on an empty profile and waits until its main
// window is shown; false when it did not start.
bool StartApp(std::unique_ptr<CVelkarApp>& app);
// A profile value as text, or "<absent>".
QString ProfileValue(const QString& key);

}  // namespace velkar::test
