#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace velkar {

// The document of the single-document window. It holds no data: the job
// lives in the view. Saving writes an empty file under the chosen name; the
// title and path only feed the window caption and the recent-file list.
class CVelkarDoc : public QObject {
    Q_OBJECT
public:
    explicit CVelkarDoc(QObject* parent = nullptr);

    // Parent of the dialogs the document shows (the main window).
    void SetDialogParent(QWidget* parent) { m_pDialogParent = parent; }

    // Re-initialises the document: no path, the new-document title.
    bool OnNewDocument();
    // Takes path as the document's file; nothing is read from it.
    bool OnOpenDocument(const QString& path);
    // Writes the (empty) document to path; false, after telling the operator, on failure.
    bool OnSaveDocument(const QString& path);

    QString Title() const { return m_strTitle; }
    void SetTitle(const QString& title);
    QString PathName() const { return m_strPathName; }

public slots:
    void OnFileSave();
    void OnFileSaveAs();

signals:
    void titleChanged(const QString& title);
    // A file became the document's (opened or saved); the recent-file list takes it.
    void pathUsed(const QString& path);
    void updateAllViews();

private:
    bool DoSave(bool askName);

    QWidget* m_pDialogParent = nullptr;
    QString m_strTitle;
    QString m_strPathName;
};

}  // namespace velkar
