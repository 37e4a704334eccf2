#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velkar {

// The modal "Import..." dialog: which drawing program wrote the plotter file
// (the import flavour) and which file it is.
//
// Flavours: 1 "ZORVEX PLT", 2 "Coredraw PLT", 3 "AutoCad PLT", 4 "CasMate PLT",
// 5 "Standard PLT", 6 "SVG drawing", 7 "EPS/PDF drawing". Each time the dialog
// is shown, m_nInitialFlavour (1 unless the caller sets another; a number
// outside 1 to 7 counts as 1) is selected and m_nFlavour is that, or the
// drawing's flavour when m_strFileName names a drawing; afterwards m_nFlavour is the flavour of
// the radio button clicked last (a drawing chosen with "Scan>>>" clicks its
// own). m_strFileName goes into the "FileName:" edit when the dialog is shown
// and is read back from it on OK only. m_bOrderPaths is the "Order paths" check
// box (off by default), which matters for flavours 5 to 7 only and is enabled
// only while one of them is chosen. m_bTravelOrder is the "shortest travel"
// check box beside it: the order is then for the shortest knife-up travel
// instead of bands; it is enabled only while "Order paths" is checked and usable.
class CImportDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int FlavourCount = 7;

    explicit CImportDlg(QWidget* parent = nullptr);

    QString m_strFileName;
    int m_nFlavour = 1;
    int m_nInitialFlavour = 1;
    bool m_bOrderPaths = false;
    bool m_bTravelOrder = false;

    // The "Scan>>>" button: a file dialog for plotter files, drawings (shown
    // first while a drawing flavour is chosen) or any file, that starts in
    // the directory used last. A chosen file goes into the edit; cancelling the file
    // dialog empties the edit.
    void OnScan();

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnFlavourClicked(int flavour);

    QRadioButton* m_flavourButtons[FlavourCount] = {};
    QLineEdit* m_editFileName = nullptr;
    QPushButton* m_btnScan = nullptr;
    QCheckBox* m_chkOrderPaths = nullptr;
    QCheckBox* m_chkTravelOrder = nullptr;
    void EnableTravelOrder();
};

}  // namespace velkar
