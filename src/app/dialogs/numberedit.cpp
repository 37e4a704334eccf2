#include "app/dialogs/numberedit.h"

#include <cmath>
#include <limits>

#include <QDoubleValidator>
#include <QIntValidator>
#include <QLocale>

#include "app/dialogs/messagebox.h"

namespace velkar {

CNumberEdit::CNumberEdit(Kind kind, double min, double max, QWidget* parent)
    : QLineEdit(parent), m_dMin(min), m_dMax(max) {
    // The number is read with a point whatever the desktop's language, so it is typed so too.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    QValidator* validator = nullptr;
    if (kind == Kind::Integer) {
        auto* v = new QIntValidator(this);
        if (Bounded()) v->setRange(static_cast<int>(min), static_cast<int>(max));
        validator = v;
    } else {
        auto* v = new QDoubleValidator(this);
        // Without an exponent a number too long for the bounds cannot even be typed.
        if (Bounded()) {
            v->setRange(min, max, 1000);
            v->setNotation(QDoubleValidator::StandardNotation);
        }
        validator = v;
    }
    validator->setLocale(c);
    setValidator(validator);
}

void CNumberEdit::Show(float value) { setText(QString::number(value, 'g', 6)); }

void CNumberEdit::Show(std::int32_t value) { setText(QString::number(value)); }

void CNumberEdit::TakeFocus() {
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

bool CNumberEdit::Refuse(const QString& message) {
    ShowMessage(window(), message);
    TakeFocus();
    return false;
}

bool CNumberEdit::Take(float& value) {
    bool ok = false;
    const double parsed = text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed) || std::fabs(parsed) > std::numeric_limits<float>::max())
        return Refuse(QStringLiteral("Please enter a number."));
    // The bounds hold for the value as it is kept, in single precision.
    const auto f = static_cast<float>(parsed);
    if (Bounded() && (static_cast<double>(f) < m_dMin || static_cast<double>(f) > m_dMax))
        return Refuse(QStringLiteral("Please enter a number between %1 and %2.")
                          .arg(QString::number(m_dMin, 'g', 6), QString::number(m_dMax, 'g', 6)));
    value = f;
    return true;
}

bool CNumberEdit::Take(std::int32_t& value) {
    bool ok = false;
    const int parsed = text().trimmed().toInt(&ok);
    if (!ok) return Refuse(QStringLiteral("Please enter an integer."));
    if (Bounded() && (parsed < m_dMin || parsed > m_dMax))
        return Refuse(QStringLiteral("Please enter an integer between %1 and %2.")
                          .arg(QString::number(m_dMin, 'g', 10), QString::number(m_dMax, 'g', 10)));
    value = parsed;
    return true;
}

}  // namespace velkar
