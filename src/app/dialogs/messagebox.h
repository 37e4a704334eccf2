#pragma once

#include <QString>

class QWidget;

namespace velkar {

// The application's name; the caption of every message box that has none of its own.
QString AppTitle();

// Shows text modally with an OK button and no icon. An empty caption means AppTitle().
void ShowMessage(QWidget* parent, const QString& text, const QString& caption = QString());

}  // namespace velkar
