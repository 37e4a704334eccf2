#pragma once

#include <cstdint>

#include <QLineEdit>

namespace velkar {

// An edit for one number of a settings dialog, a decimal or an integer within
// bounds, or any decimal. Its validator keeps typing to what can
// become such a number; Take(), called by the dialog's OK, refuses what is
// still not one, or lies outside the bounds, with a message naming them
// ("Please enter a number between 0 and 2."), and gives the edit the focus
// with its text selected, so the dialog stays open on it.
class CNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Kind { Decimal, Integer };

    CNumberEdit(Kind kind, double min, double max, QWidget* parent);
    // Any decimal that single precision holds.
    explicit CNumberEdit(QWidget* parent) : CNumberEdit(Kind::Decimal, 1.0, 0.0, parent) {}

    // Shows value, a decimal with six significant digits.
    void Show(float value);
    void Show(std::int32_t value);

    // The number in the edit, as a single-precision decimal or an integer;
    // value is written only when it is taken.
    bool Take(float& value);
    bool Take(std::int32_t& value);

    // Takes the focus with the text selected, so what is typed replaces it.
    void TakeFocus();

private:
    bool Refuse(const QString& message);
    bool Bounded() const { return m_dMin <= m_dMax; }  // else any number

    double m_dMin;
    double m_dMax;
};

}  // namespace velkar
