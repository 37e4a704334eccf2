#include "app/progresswnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace velkar {

namespace {

constexpr int WindowWidth = 390;
constexpr int Margin = 10;
constexpr int EdgeSize = 2;

}  // namespace

CProgressWnd::CProgressWnd(QWidget* owner, const QString& title, bool smooth)
    : QWidget(owner ? owner : QApplication::activeWindow(),
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_strCaptionStem(title) {
    setObjectName(QStringLiteral("CProgressWnd"));
    setWindowTitle(title);
    // The operation runs on this thread, so the pointer tells the operator the
    // program is working although it still reacts.
    setCursor(Qt::BusyCursor);
    setAutoFillBackground(true);

    const QFont messageFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);

    m_wndMessage = new QLabel(this);
    m_wndMessage->setObjectName(QStringLiteral("message"));
    m_wndMessage->setTextFormat(Qt::PlainText);
    m_wndMessage->setWordWrap(false);
    m_wndMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_wndMessage->setFont(messageFont);

    m_wndBar = new QProgressBar(this);
    m_wndBar->setObjectName(QStringLiteral("bar"));
    // The first percent fills too little of the bar to be seen; its number is.
    m_wndBar->setTextVisible(true);
    m_wndBar->setFormat(QStringLiteral("%p%"));
    m_wndBar->setAlignment(Qt::AlignCenter);
    m_wndBar->setRange(m_nRangeLow, m_nRangeHigh);
    m_wndBar->setValue(0);
    if (!smooth) m_wndBar->setStyleSheet(QStringLiteral("QProgressBar::chunk { width: 8px; margin: 1px; }"));

    m_wndCancel = new QPushButton(QStringLiteral("cancle"), this);
    m_wndCancel->setObjectName(QStringLiteral("cancel"));
    m_wndCancel->setFont(messageFont);
    m_wndCancel->setAutoDefault(false);
    connect(m_wndCancel, &QPushButton::clicked, this, [this] { OnCancelButton(); });

    LayOut(m_nTextRows, WindowWidth);
    CentreOverOwner(parentWidget());
    ShowInactive();
}

CProgressWnd::~CProgressWnd() { qApp->removeEventFilter(this); }

void CProgressWnd::LayOut(int lines, int width) {
    const QFontMetrics fm(m_wndMessage->font());
    QString probe = QStringLiteral("M");
    for (int i = 1; i < lines; ++i) probe += QStringLiteral("\nM");
    const QRect measured = fm.boundingRect(QRect(0, 0, 0, 0), Qt::TextDontClip | Qt::TextExpandTabs, probe);
    const QRect text(Margin, Margin, width, measured.height());

    QSize button = fm.size(Qt::TextSingleLine, QStringLiteral("Cancel")) + QSize(4 * EdgeSize, 3 * EdgeSize);
    // A styled push button needs room for its own frame as well.
    button = button.expandedTo(m_wndCancel->sizeHint());

    const QRect buttonRect(text.right() + 1 - button.width(), text.bottom() + 1 + Margin, button.width(),
                           button.height());
    // The pause button, where offered, stands left of the cancel button.
    QRect pauseRect(buttonRect.left() - Margin - button.width(), buttonRect.top(), button.width(), button.height());
    if (m_wndPause) pauseRect.setWidth(std::max(button.width(), m_wndPause->sizeHint().width())),
        pauseRect.moveRight(buttonRect.left() - Margin - 1);
    const int barRight = (m_wndPause ? pauseRect.left() : buttonRect.left()) - Margin - 1;
    const QRect barRect(QPoint(text.left(), buttonRect.top() + EdgeSize),
                        QPoint(barRight, buttonRect.bottom() - EdgeSize));
    if (m_wndPause) m_wndPause->setGeometry(pauseRect);

    setFixedSize(text.width() + 2 * Margin, text.height() + button.height() + 3 * Margin);
    m_wndBar->setGeometry(barRect);
    m_wndCancel->setGeometry(buttonRect);
    m_wndMessage->setGeometry(text);
}

void CProgressWnd::CentreOverOwner(QWidget* owner) {
    QRect area;
    if (owner)
        area = owner->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid()) move(area.center() - rect().center());
}

void CProgressWnd::ShowInactive() {
    if (isVisible()) return;
    setAttribute(Qt::WA_ShowWithoutActivating);
    show();
    repaint();
}

void CProgressWnd::SetBarRange(int lower, int upper, int step) {
    m_nRangeLow = lower;
    m_nRangeHigh = upper;
    m_nStepSize = step;
    m_wndBar->setRange(lower, std::max(lower, upper));
    m_nBarPos = std::clamp(m_nBarPos, lower, std::max(lower, upper));
    m_wndBar->setValue(m_nBarPos);
}

int CProgressWnd::SetBarPosition(int position) {
    ShowInactive();
    m_nLastPos = position;

    // 64-bit so that no position or range can overflow; below 21474837 the
    // result equals the 32-bit computation exactly.
    int percent = 0;
    const std::int64_t span = std::int64_t{m_nRangeHigh} - m_nRangeLow;
    if (span > 0) {
        const std::int64_t p = std::int64_t{position} * 100 / span;
        percent = static_cast<int>(
            std::clamp<std::int64_t>(p, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    if (percent != m_nLastPercent) {
        m_nLastPercent = percent;
        setWindowTitle(m_strCaptionStem % QStringLiteral(" [") % QString::number(percent) % QStringLiteral("%]"));
    }

    const int previous = m_nBarPos;
    m_nBarPos = std::clamp(position, m_wndBar->minimum(), m_wndBar->maximum());
    m_wndBar->setValue(m_nBarPos);
    return previous;
}

int CProgressWnd::Advance() {
    ShowInactive();
    // Wraps like the 32-bit counter it stands for instead of overflowing.
    const auto next = static_cast<std::uint32_t>(m_nLastPos) + static_cast<std::uint32_t>(m_nStepSize);
    return SetBarPosition(static_cast<int>(next));
}

void CProgressWnd::SetMessage(const QString& text) { m_wndMessage->setText(text); }

void CProgressWnd::PumpPending(bool escapeCancels) {
    if ((m_bCancelRequested && !m_bFinishing) || m_bAbandonRequested) return;
    if (escapeCancels) qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (escapeCancels) qApp->removeEventFilter(this);
}

bool CProgressWnd::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Esc only cancels; giving up a step half done takes the button. An Esc
        // that closes a menu or a dialog opened meanwhile does only that: only
        // one aimed at this window or at the window it belongs to cancels.
        const auto* w = qobject_cast<QWidget*>(watched);
        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        if (w && !QApplication::activePopupWidget() && !qobject_cast<const QMenuBar*>(w) &&
            (w->window() == this || w->window() == owner))
            m_bCancelRequested = true;
    }
    return QWidget::eventFilter(watched, event);
}

void CProgressWnd::OnCancelButton() {
    if (m_bFinishing)
        Abandon();
    else
        m_bCancelRequested = true;
}

void CProgressWnd::OfferPause() {
    if (m_wndPause) return;
    m_wndPause = new QPushButton(QStringLiteral("Pause"), this);
    m_wndPause->setObjectName(QStringLiteral("pause"));
    m_wndPause->setFont(m_wndCancel->font());
    m_wndPause->setAutoDefault(false);
    connect(m_wndPause, &QPushButton::clicked, this, [this] { OnPauseButton(); });
    LayOut(m_nTextRows, WindowWidth);
    m_wndPause->show();
}

void CProgressWnd::OnPauseButton() {
    m_bPaused = !m_bPaused;
    if (m_wndPause) m_wndPause->setText(m_bPaused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

void CProgressWnd::HoldWhilePaused() {
    // Waits for events rather than spinning: the send has nothing to do.
    while (m_bPaused && !m_bCancelRequested && !m_bAbandonRequested)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
}

void CProgressWnd::BeginFinishing(const QString& text) {
    m_bFinishing = true;
    m_bPaused = false;
    if (m_wndPause) m_wndPause->setEnabled(false);
    m_wndCancel->setText(QStringLiteral("abandon"));
    SetMessage(text);
}

void CProgressWnd::closeEvent(QCloseEvent* event) {
    // The window goes away with the operation that owns it; closing it from
    // the title bar means the operator wants the operation stopped.
    event->ignore();
    m_bCancelRequested = true;
}

}  // namespace velkar
