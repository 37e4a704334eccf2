#include "qtsupport.h"

#include <memory>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest/QTest>

#include "app/mainframe.h"
#include "app/velkarapp.h"
#include "serial/profile.h"
#include "testsupport.h"

namespace velkar::test {

void OnNextModal(std::function<void(QWidget*)> action) {
    QWidget* before = QApplication::activeModalWidget();
    auto poll = std::make_shared<std::function<void(int)>>();
    *poll = [before, action, poll](int tries) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != before && modal->isVisible()) {
            action(modal);
            return;
        }
        if (tries > 500) QFAIL("no modal dialog opened");
        QTimer::singleShot(10, [poll, tries] { (*poll)(tries + 1); });
    };
    QTimer::singleShot(0, [poll] { (*poll)(0); });
}

void AnswerNextMessage(QString* text) {
    OnNextModal([text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY2(box, "expected a message box");
        *text = box->text();
        QCOMPARE(box->windowTitle(), QStringLiteral("Velkar"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->buttons().size(), 1);
        box->button(QMessageBox::Ok)->click();
    });
}

void Click(QWidget* w, const char* objectName) {
    auto* button = w->findChild<QPushButton*>(QString::fromLatin1(objectName));
    QVERIFY2(button, objectName);
    QTest::mouseClick(button, Qt::LeftButton);
}

void SetEdit(QWidget* w, const char* objectName, const QString& text) {
    auto* edit = w->findChild<QLineEdit*>(QString::fromLatin1(objectName));
    QVERIFY2(edit, objectName);
    edit->selectAll();
    edit->setText(text);
}

void WriteJob(const std::string& path, const std::vector<JobRecord>& body, std::int32_t orientation,
              std::int32_t maxY) {
    std::vector<JobRecord> all;
    all.push_back(Rec(RecHeaderCount, static_cast<std::int32_t>(body.size() + 3), orientation));
    all.push_back(Rec(RecHeaderMin, 0, 0));
    all.push_back(Rec(RecHeaderMax, 0, maxY));
    all.insert(all.end(), body.begin(), body.end());
    WriteRecords(path, all);
}

void ClearProfile() { OpenProfile()->clear(); }

bool StartApp(std::unique_ptr<CVelkarApp>& app) {
    ClearProfile();
    app = std::make_unique<CVelkarApp>();
    return app->InitInstance({}) && QTest::qWaitForWindowExposed(app->MainFrame());
}

QString ProfileValue(const QString& key) {
    const QVariant v = OpenProfile()->value(key);
    return v.isValid() ? v.toString() : QStringLiteral("<absent>");
}

}  // namespace velkar::test
