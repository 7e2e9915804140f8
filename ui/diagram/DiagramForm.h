#pragma once

#include "model/ModelDocument.h"

#include <QDialog>
#include <QHash>
#include <QPoint>

#include <optional>

class QGraphicsView;
class QLabel;
class QLineEdit;
class TDiagramScene;
class TUserInteraction;

// 模型图: the project's classes as boxes, their members with their types and the key marked,
// references as arrows. Boxes can be dragged; 自动排列 lays them all out again; 导出图片 saves the
// diagram as SVG or PNG. A double-click on a box chooses its class and closes the window.
// The window opens with the whole diagram in view. The wheel, + and - (with or without Ctrl) zoom,
// 0 and 全图 show the whole again; 查找类 selects and centres a class. The selected classes'
// references stand out.
// The caller keeps the boxes' places with the model when the window has closed.
class TDiagramForm : public QDialog {
    Q_OBJECT
public:
    // classIds holds the id of each class, in the order of classes.
    TDiagramForm(QWidget *parent, TUserInteraction &ui, const QString &projectName,
                 const QList<TModelClass> &classes, const QList<int> &classIds);

    // classId -> top-left corner, for every box that has a place of its own.
    QHash<int, QPoint> DraggedBoxes() const;
    // Whether 自动排列 was pressed: then only DraggedBoxes keep a place of their own.
    bool LaidOutAgain() const { return laidOutAgain_; }
    // The class whose box was double-clicked; none when the window was closed otherwise.
    std::optional<int> ChosenClass() const { return chosen_; }

    TDiagramScene &Scene() const { return *scene_; }

    // Selects and centres the box of the class best matching text (its name, then the start of
    // its name or heading, then anywhere in them, ignoring case); false when there is none.
    bool FindClass(const QString &text);
    // The whole diagram in view, never larger than its own size.
    void FitToWindow();
    void Zoom(double factor);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void LayOutAgain();
    void ExportPicture();

    TUserInteraction &ui_;
    QString projectName_;
    QList<TModelClass> classes_;
    QList<int> classIds_;
    bool laidOutAgain_ = false;
    std::optional<int> chosen_;
    TDiagramScene *scene_;
    QGraphicsView *View1;
    QLineEdit *Find1;
    QLabel *FindResult1;
    bool fitted_ = false;
};
