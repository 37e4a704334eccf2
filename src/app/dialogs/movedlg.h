#pragma once

#include <QDialog>

namespace velkar {

class CNumberEdit;

// "Pictuer Move": how far to shift the picture, in millimetres along x and y.
// The caller reads m_fMoveX and m_fMoveY after accepted; any number is taken.
class CMoveDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMoveDlg(QWidget* parent = nullptr);

    float m_fMoveX = 0.0f;
    float m_fMoveY = 0.0f;

    int exec() override;
    void accept() override;

private:
    CNumberEdit* m_pEditX;  // control 1020
    CNumberEdit* m_pEditY;  // control 1021
};

}  // namespace velkar
