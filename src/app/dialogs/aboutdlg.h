#pragma once

#include <QDialog>

namespace velkar {

// "About Velkar": the application icon, the version text and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace velkar
