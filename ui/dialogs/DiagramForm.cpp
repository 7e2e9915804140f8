#include "ui/dialogs/DiagramForm.h"

#include "diagram/DiagramFile.h"
#include "ui/UserInteraction.h"
#include "ui/dialogs/DiagramScene.h"
#include "ui/dialogs/FormDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGraphicsView>
#include <QPushButton>
#include <QVBoxLayout>

TDiagramForm::TDiagramForm(QWidget *parent, TUserInteraction &ui, const QString &projectName,
                           const QList<TModelClass> &classes, const QList<int> &classIds)
    : QDialog(parent), ui_(ui), projectName_(projectName), classes_(classes), classIds_(classIds),
      scene_(new TDiagramScene(this))
{
    setObjectName(QStringLiteral("DiagramForm"));
    setWindowTitle(QStringLiteral("模型图 - %1").arg(projectName));
    setFont(FormFont());
    resize(960, 680);
    auto *layout = new QVBoxLayout(this);
    View1 = new QGraphicsView(scene_, this);
    View1->setObjectName(QStringLiteral("View1"));
    View1->setRenderHint(QPainter::Antialiasing);
    View1->setDragMode(QGraphicsView::ScrollHandDrag); // a drag beside the boxes moves the view
    View1->setBackgroundBrush(Qt::white);
    layout->addWidget(View1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *again = buttons->addButton(QStringLiteral("自动排列(&A)"), QDialogButtonBox::ActionRole);
    again->setObjectName(QStringLiteral("LayOutAgain1"));
    QPushButton *save = buttons->addButton(QStringLiteral("导出图片(&E)…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("Export1"));
    QPushButton *close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("Close1"));
    layout->addWidget(buttons);
    connect(again, &QPushButton::clicked, this, &TDiagramForm::LayOutAgain);
    connect(save, &QPushButton::clicked, this, &TDiagramForm::ExportPicture);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(scene_, &TDiagramScene::BoxActivated, this, [this](qsizetype box) {
        chosen_ = classIds_.value(box);
        accept();
    });

    scene_->Show(TDiagramLayout::LayOut(classes_));
}

QHash<int, QPoint> TDiagramForm::DraggedBoxes() const
{
    QHash<int, QPoint> places;
    const QList<TDiagramBox> &boxes = scene_->Diagram().boxes;
    for (qsizetype b = 0; b < boxes.size() && b < classIds_.size(); ++b) {
        if (boxes.at(b).dragged)
            places.insert(classIds_.at(b), boxes.at(b).rect.topLeft().toPoint());
    }
    return places;
}

void TDiagramForm::LayOutAgain()
{
    for (TModelClass &cls : classes_)
        cls.diagramPosition.reset();
    laidOutAgain_ = true;
    scene_->Show(TDiagramLayout::LayOut(classes_));
}

void TDiagramForm::ExportPicture()
{
    const QString path = ui_.chooseFile(this, true, QStringLiteral("导出模型图"), projectName_ + QStringLiteral(".svg"),
                                        QStringLiteral("SVG 图片 (*.svg);;PNG 图片 (*.png)"));
    if (path.isEmpty())
        return;
    try {
        TDiagramFile::Save(scene_->Diagram(), QStringLiteral("%1 模型图").arg(projectName_), path);
    } catch (const TDiagramError &error) {
        ui_.message(this, error.message(), TMessageKind::Error);
        return;
    }
    ui_.message(this, QStringLiteral("模型图已导出到 %1").arg(QDir::toNativeSeparators(path)),
                TMessageKind::Information);
}
