#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QWidget;
struct TPlannedFile;
struct TRegenerationCounts;
template <typename T> class QList;

// How a message box looks: a plain notice, an information box (icon and caption of its own),
// or the display of an error that stopped a command.
enum class TMessageKind { Plain, Information, Error };

// Everything the windows ask of the user's hand or of the desktop shell goes through here:
// message boxes, OK/Cancel questions, one-line prompts, and opening a folder or a page.
// The program uses TQtUserInteraction; tests put in a scripted one.
class TUserInteraction {
public:
    virtual ~TUserInteraction() = default;

    virtual void message(QWidget *parent, const QString &text,
                         TMessageKind kind = TMessageKind::Plain, const QString &caption = {}) = 0;
    // OK and Cancel with an information icon; true only for OK.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &caption) = 0;
    // One text field filled with defaultText; OK yields the field as typed, Cancel yields
    // defaultText.
    virtual QString input(QWidget *parent, const QString &caption, const QString &prompt,
                          const QString &defaultText) = 0;
    // A secret typed into a hidden field; null for Cancel.
    virtual std::optional<QString> password(QWidget *parent, const QString &caption, const QString &prompt) = 0;
    // Opens a folder or a page with the desktop's own program; false when that failed.
    virtual bool open(const QUrl &url) = 0;
    // Shows what a regeneration would do to each file; true only for 生成.
    virtual bool previewRegeneration(QWidget *parent, const QList<TPlannedFile> &plan,
                                     const TRegenerationCounts &counts) = 0;
    // A file to write (forSaving) or to read, starting from suggested; empty when cancelled.
    virtual QString chooseFile(QWidget *parent, bool forSaving, const QString &caption,
                               const QString &suggested, const QString &filter) = 0;
};

// Real boxes and the real desktop.
class TQtUserInteraction : public TUserInteraction {
public:
    void message(QWidget *parent, const QString &text, TMessageKind kind,
                 const QString &caption) override;
    bool confirm(QWidget *parent, const QString &text, const QString &caption) override;
    QString input(QWidget *parent, const QString &caption, const QString &prompt,
                  const QString &defaultText) override;
    std::optional<QString> password(QWidget *parent, const QString &caption, const QString &prompt) override;
    bool open(const QUrl &url) override;
    bool previewRegeneration(QWidget *parent, const QList<TPlannedFile> &plan,
                             const TRegenerationCounts &counts) override;
    QString chooseFile(QWidget *parent, bool forSaving, const QString &caption,
                       const QString &suggested, const QString &filter) override;
};
