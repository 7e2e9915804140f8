#include "ui/panels/CodePreview.h"

#include "ui/panels/CodeHighlighter.h"
#include "generator/emit/Controller.h"
#include "generator/emit/DataBaseSql.h"
#include "generator/output/GenerationError.h"
#include "generator/emit/ManagePage.h"
#include "generator/check/ModelChecker.h"
#include "generator/emit/PHPBean.h"
#include "generator/check/ProjectModel.h"
#include "generator/record/ReadSnapshot.h"
#include "generator/emit/Service.h"
#include "model/DbHelper.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <iterator>

namespace {

using TBuild = std::function<QString(const TProjectModel &, const TClassModel &, const QString &prefix)>;

struct TPreviewFile {
    const char *caption;
    TCodeHighlighter::TSyntax syntax;
    TBuild build;
};

// One row per generated file of a class, in the order generation writes them.
const TPreviewFile previewFiles[] = {
    {"实体类", TCodeHighlighter::TSyntax::Php,
     [](const TProjectModel &, const TClassModel &c, const QString &p) { return TPHPBean::BuildFile(c, p); }},
    {"控制器", TCodeHighlighter::TSyntax::Php,
     [](const TProjectModel &m, const TClassModel &c, const QString &) { return TController::BuildFile(m, c); }},
    {"服务类", TCodeHighlighter::TSyntax::Php,
     [](const TProjectModel &m, const TClassModel &c, const QString &p) { return TService::BuildFile(m, c, p); }},
    {"管理页面", TCodeHighlighter::TSyntax::Php,
     [](const TProjectModel &m, const TClassModel &c, const QString &) { return TManagePage::BuildFile(m, c); }},
    {"建表语句", TCodeHighlighter::TSyntax::Sql,
     [](const TProjectModel &m, const TClassModel &c, const QString &p) {
         return TDataBaseSql::BuildClassStatements(m, c, p);
     }},
};

} // namespace

TCodePreview::TCodePreview(QWidget *parent) : QTabWidget(parent), coalesce_(new QTimer(this))
{
    setObjectName(QStringLiteral("CodePreview"));
    coalesce_->setSingleShot(true);
    coalesce_->setInterval(0);
    // The panel may have been folded away since the timer started (the window places its
    // dividers after the first resize): a hidden preview stays stale until it is seen.
    connect(coalesce_, &QTimer::timeout, this, [this] {
        if (CanBeSeen())
            Rebuild();
    });
    // The text views come with the first text to show: the pane starts folded away, and
    // they cost the window's start more than all its other controls together.
    for (const TPreviewFile &file : previewFiles) {
        auto *page = new QWidget(this);
        auto *layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        addTab(page, QString::fromUtf8(file.caption));
    }
    sources_.resize(qsizetype(std::size(previewFiles)));
}

void TCodePreview::MakeViews()
{
    if (!views_.isEmpty())
        return;
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const TPreviewFile &file : previewFiles) {
        QWidget *page = widget(int(views_.size()));
        auto *view = new QPlainTextEdit(page);
        view->setObjectName(QStringLiteral("Preview_%1").arg(views_.size()));
        view->setReadOnly(true);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        view->setFont(mono);
        new TCodeHighlighter(view->document(), file.syntax);
        page->layout()->addWidget(view);
        views_.append(view);
    }
}

void TCodePreview::ShowClass(int projectId, int classId, const QString &tablePrefix)
{
    projectId_ = projectId;
    classId_ = classId;
    tablePrefix_ = tablePrefix;
    Refresh();
}

void TCodePreview::Refresh()
{
    stale_ = true;
    if (CanBeSeen())
        coalesce_->start();
}

void TCodePreview::Flush()
{
    coalesce_->stop();
    if (stale_)
        Rebuild();
}

QString TCodePreview::SourceText(int tab) const
{
    return sources_.value(tab);
}

bool TCodePreview::CanBeSeen() const
{
    return isVisible() && width() > 0;
}

void TCodePreview::resizeEvent(QResizeEvent *event)
{
    QTabWidget::resizeEvent(event);
    if (stale_ && CanBeSeen())
        coalesce_->start();
}

void TCodePreview::showEvent(QShowEvent *event)
{
    QTabWidget::showEvent(event);
    if (stale_ && CanBeSeen())
        coalesce_->start();
}

void TCodePreview::Rebuild()
{
    stale_ = false;
    if (projectId_ <= 0 || classId_ <= 0)
        return Show({}, QString());
    try {
        const TProjectModel model = [this] {
            const TReadSnapshot snapshot;
            return TProjectModel::Load(projectId_);
        }();
        const TClassModel *cls = nullptr;
        for (const TClassModel &c : model.Classes()) {
            if (c.classId == classId_)
                cls = &c;
        }
        if (!cls)
            return Show({}, QString());
        // The generators expect a model the checker accepts. Problems of other classes do
        // not touch this class's files, so only the class's own and the project's block it.
        QStringList problems;
        for (const TModelFinding &finding : TModelChecker::Check(model, std::nullopt, tablePrefix_)) {
            if (finding.classId == classId_ || finding.classId == 0)
                problems.append(finding.message);
        }
        if (!problems.isEmpty())
            return Show({}, QStringLiteral("生成代码前请先修正以下问题:\n") + problems.join(QLatin1Char('\n')));
        QStringList texts;
        for (const TPreviewFile &file : previewFiles)
            texts.append(file.build(model, *cls, tablePrefix_));
        Show(texts, QString());
    } catch (const TDbError &error) {
        Show({}, error.message());
    } catch (const TGenerationError &error) {
        Show({}, error.message());
    }
}

void TCodePreview::Show(const QStringList &texts, const QString &notice)
{
    MakeViews();
    for (qsizetype i = 0; i < views_.size(); ++i) {
        sources_[i] = texts.value(i);
        QString shown = texts.isEmpty() ? notice : texts.at(i);
        // The view keeps lines apart by itself; a copy gets the desktop's line ends.
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QPlainTextEdit *view = views_.at(i);
        const int scroll = view->verticalScrollBar()->value();
        view->setPlainText(shown);
        view->verticalScrollBar()->setValue(scroll);
    }
}
