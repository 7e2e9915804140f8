#pragma once

#include <QStringList>
#include <QTabWidget>

class QPlainTextEdit;
class QTimer;

// The text generation would write for one class, a tab per generated file: read-only,
// monospaced and coloured. It is built by the generators' own functions from the model as it
// is in the database, and nothing is written anywhere. Work is done only while the pane can
// be seen, at most once per burst of changes.
class TCodePreview : public QTabWidget {
    Q_OBJECT
public:
    explicit TCodePreview(QWidget *parent = nullptr);

    // Shows the class (projectId 0 or classId -1: nothing), from the model as it is now.
    void ShowClass(int projectId, int classId, const QString &tablePrefix);
    // The model changed: read it again for the class shown.
    void Refresh();
    // The text of a tab exactly as the generator gave it (CR LF line ends); empty when the
    // class cannot be generated or nothing is shown.
    QString SourceText(int tab) const;
    // Builds what is due now instead of on the next turn of the event loop.
    void Flush();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Rebuild();
    bool CanBeSeen() const;
    void Show(const QStringList &texts, const QString &notice);
    void MakeViews();

    int projectId_ = 0;
    int classId_ = -1;
    QString tablePrefix_;
    bool stale_ = false;
    QTimer *coalesce_;
    QList<QPlainTextEdit *> views_;
    QStringList sources_;
};
