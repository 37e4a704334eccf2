#pragma once

#include <QDialog>

class QCheckBox;

namespace velkar {

class CNumberEdit;

// "Cuter Parameter": the knife offsets in millimetres. Sharp Offset 0 to 2,
// Close Offset 0 to 5; Smooth (0 to 10) is shown but cannot be edited; and
// whether the send leaves out moves to where the knife already is. The
// caller fills the fields before exec() and reads them after it is accepted.
class CCutterParamDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCutterParamDlg(QWidget* parent = nullptr);

    float m_fSharpOffset = 0.0f;
    float m_fCloseOffset = 0.0f;
    float m_fSmooth = 0.0f;
    bool m_bCompact = false;  // "Leave out moves to where the knife already is"

    int exec() override;
    void accept() override;

private:
    CNumberEdit* m_pEditSharp;   // control 1020
    CNumberEdit* m_pEditClose;   // control 1021
    CNumberEdit* m_pEditSmooth;  // control 1008
    QCheckBox* m_pCheckCompact;
};

}  // namespace velkar
