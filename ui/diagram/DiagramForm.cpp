#include "ui/diagram/DiagramForm.h"

#include "diagram/DiagramFile.h"
#include "ui/UserInteraction.h"
#include "ui/diagram/DiagramScene.h"
#include "ui/dialogs/FormDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGraphicsItem>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr double zoomStep = 1.25;
constexpr double largest = 4;     // how far the view zooms in
constexpr double readable = 0.75; // a found class is shown at least this large

double scaleOf(const QGraphicsView &view)
{
    return view.transform().m11();
}

} // namespace

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
    auto *findRow = new QHBoxLayout;
    auto *findLabel = new QLabel(QStringLiteral("查找类(&F):"), this);
    Find1 = new QLineEdit(this);
    Find1->setObjectName(QStringLiteral("Find1"));
    Find1->setPlaceholderText(QStringLiteral("类名或中文名，回车查找"));
    Find1->setClearButtonEnabled(true);
    findLabel->setBuddy(Find1);
    FindResult1 = new QLabel(this);
    FindResult1->setObjectName(QStringLiteral("FindResult1"));
    findRow->addWidget(findLabel);
    findRow->addWidget(Find1, 1);
    findRow->addWidget(FindResult1, 1);
    layout->addLayout(findRow);
    connect(Find1, &QLineEdit::returnPressed, this, [this] { FindClass(Find1->text()); });

    View1 = new QGraphicsView(scene_, this);
    View1->setObjectName(QStringLiteral("View1"));
    View1->setRenderHint(QPainter::Antialiasing);
    View1->setDragMode(QGraphicsView::ScrollHandDrag); // a drag beside the boxes moves the view
    View1->setBackgroundBrush(Qt::white);
    View1->setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    View1->viewport()->installEventFilter(this);
    layout->addWidget(View1);
    const auto keys = [this](const QList<QKeySequence> &sequences, const std::function<void()> &act) {
        for (const QKeySequence &sequence : sequences)
            connect(new QShortcut(sequence, this), &QShortcut::activated, this, act);
    };
    keys({QKeySequence::ZoomIn, QKeySequence(QStringLiteral("Ctrl+=")), QKeySequence(QStringLiteral("+"))},
         [this] { Zoom(zoomStep); });
    keys({QKeySequence::ZoomOut, QKeySequence(QStringLiteral("-"))}, [this] { Zoom(1 / zoomStep); });
    keys({QKeySequence(QStringLiteral("Ctrl+0")), QKeySequence(QStringLiteral("0"))}, [this] { FitToWindow(); });

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *whole = buttons->addButton(QStringLiteral("全图(&W)"), QDialogButtonBox::ActionRole);
    whole->setObjectName(QStringLiteral("Fit1"));
    connect(whole, &QPushButton::clicked, this, &TDiagramForm::FitToWindow);
    QPushButton *again = buttons->addButton(QStringLiteral("自动排列(&A)"), QDialogButtonBox::ActionRole);
    again->setObjectName(QStringLiteral("LayOutAgain1"));
    QPushButton *save = buttons->addButton(QStringLiteral("导出图片(&E)…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("Export1"));
    QPushButton *close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("Close1"));
    layout->addWidget(buttons);
    // Enter in 查找类 finds a class and presses no button.
    for (QPushButton *button : {whole, again, save, close})
        button->setAutoDefault(false);
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
    FitToWindow();
}

void TDiagramForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!fitted_) {
        fitted_ = true;
        FitToWindow();
    }
}

bool TDiagramForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == View1->viewport() && event->type() == QEvent::Wheel) {
        const int turn = static_cast<QWheelEvent *>(event)->angleDelta().y();
        if (turn != 0)
            Zoom(std::pow(zoomStep, turn / 120.0));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TDiagramForm::FitToWindow()
{
    const QRectF bounds = scene_->Diagram().Bounds();
    View1->resetTransform();
    View1->fitInView(bounds, Qt::KeepAspectRatio);
    if (scaleOf(*View1) > 1)
        View1->resetTransform();
    View1->centerOn(bounds.center());
}

void TDiagramForm::Zoom(double factor)
{
    const double now = scaleOf(*View1);
    // No smaller than the whole diagram needs, no larger than four times its size.
    const QRectF bounds = scene_->Diagram().Bounds();
    const QSize room = View1->viewport()->size();
    const double whole = std::min({1.0, room.width() / bounds.width(), room.height() / bounds.height()});
    const double wanted = std::clamp(now * factor, std::min(whole, now), largest);
    View1->scale(wanted / now, wanted / now);
}

bool TDiagramForm::FindClass(const QString &text)
{
    const QString wanted = text.trimmed();
    const QList<TDiagramBox> &boxes = scene_->Diagram().boxes;
    qsizetype found = -1;
    int best = 0;
    for (qsizetype b = 0; b < boxes.size() && !wanted.isEmpty(); ++b) {
        const TDiagramBox &box = boxes.at(b);
        const int match = box.className.compare(wanted, Qt::CaseInsensitive) == 0 ? 3
            : box.className.startsWith(wanted, Qt::CaseInsensitive) || box.heading.startsWith(wanted, Qt::CaseInsensitive) ? 2
            : box.heading.contains(wanted, Qt::CaseInsensitive) ? 1
            : 0;
        if (match > best) {
            best = match;
            found = b;
        }
    }
    if (found < 0) {
        FindResult1->setText(wanted.isEmpty() ? QString() : QStringLiteral("没有找到类\"%1\"").arg(wanted));
        return false;
    }
    FindResult1->setText(QStringLiteral("%1 及其引用已标出").arg(boxes.at(found).className));
    scene_->clearSelection();
    scene_->Box(found)->setSelected(true);
    if (scaleOf(*View1) < readable)
        Zoom(readable / scaleOf(*View1));
    View1->centerOn(scene_->Box(found));
    return true;
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
