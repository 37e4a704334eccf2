#include "app/dialogs/dataexchange.h"

#include <cmath>
#include <limits>

#include <QLineEdit>

#include "app/dialogs/messagebox.h"

namespace velkar {

void CDataExchange::Show(QLineEdit* edit, float value) { edit->setText(QString::number(value, 'g', 6)); }

void CDataExchange::Show(QLineEdit* edit, std::int32_t value) { edit->setText(QString::number(value)); }

void CDataExchange::Refuse(QLineEdit* edit, const QString& message) {
    ShowMessage(m_pDialog, message);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

bool CDataExchange::Take(QLineEdit* edit, float& value, double min, double max) {
    bool ok = false;
    const double parsed = edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed) || std::fabs(parsed) > std::numeric_limits<float>::max()) {
        Refuse(edit, QStringLiteral("Please enter a number."));
        return false;
    }
    const auto f = static_cast<float>(parsed);
    if (min <= max && (static_cast<double>(f) < min || static_cast<double>(f) > max)) {
        Refuse(edit, QStringLiteral("Please enter a number between %1 and %2.")
                         .arg(QString::number(min, 'g', 6), QString::number(max, 'g', 6)));
        return false;
    }
    value = f;
    return true;
}

bool CDataExchange::Take(QLineEdit* edit, std::int32_t& value, double min, double max) {
    bool ok = false;
    const int parsed = edit->text().trimmed().toInt(&ok);
    if (!ok) {
        Refuse(edit, QStringLiteral("Please enter an integer."));
        return false;
    }
    if (min <= max && (parsed < min || parsed > max)) {
        Refuse(edit, QStringLiteral("Please enter an integer between %1 and %2.")
                         .arg(QString::number(min, 'g', 10), QString::number(max, 'g', 10)));
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace velkar
