#pragma once

#include <cstdint>

#include <QDialog>

namespace velkar {

class CNumberEdit;

// "Material": the size of the material sheet in millimetres, each 0 to 1000000.
// The caller fills the fields before exec() and reads them after it is accepted.
class CMaterialDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMaterialDlg(QWidget* parent = nullptr);

    std::int32_t m_nLength = 0;
    std::int32_t m_nWidth = 0;

    int exec() override;
    void accept() override;

    // Runs the dialog preloaded from the profile and, on OK, stores the size
    // there (length first, then width). Returns the dialog's result.
    static int RunWithProfile(QWidget* parent);

private:
    CNumberEdit* m_pEditWidth;   // control 1000
    CNumberEdit* m_pEditLength;  // control 1001
};

}  // namespace velkar
