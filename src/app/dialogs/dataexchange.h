#pragma once

#include <cstdint>

#include <QString>

class QLineEdit;
class QWidget;

namespace velkar {

// Moves dialog values between edits and fields, as a dialog's OK does it: the
// first edit that holds no number, or a number outside its bounds, is reported
// with a message naming the bounds, gets the focus with its text selected, and
// ends the exchange. Fields are written only for edits that passed.
class CDataExchange {
public:
    explicit CDataExchange(QWidget* dialog) : m_pDialog(dialog) {}

    // Field to edit, shown with six significant digits.
    static void Show(QLineEdit* edit, float value);
    static void Show(QLineEdit* edit, std::int32_t value);

    // Edit to field. The bounds are checked when min <= max.
    bool Take(QLineEdit* edit, float& value, double min = 1.0, double max = 0.0);
    bool Take(QLineEdit* edit, std::int32_t& value, double min = 1.0, double max = 0.0);

private:
    void Refuse(QLineEdit* edit, const QString& message);

    QWidget* m_pDialog;
};

}  // namespace velkar
