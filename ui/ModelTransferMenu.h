#pragma once

#include <QObject>

#include <functional>

class QMenu;
class QWidget;
class TUserInteraction;

// 项目操作 → 导出模型…, 导入模型… and 从数据库导入…, kept out of the main window: it needs only
// the selected project, the user's hand and a way to refill the project list.
class TModelTransferMenu : public QObject {
    Q_OBJECT
public:
    using TSelectedProject = std::function<int()>;
    using TReloadProjects = std::function<void()>;

    TModelTransferMenu(QMenu *menu, QWidget *window, TUserInteraction &ui,
                       TSelectedProject selectedProject, TReloadProjects reloadProjects);

    void ExportModel();
    void ImportModel();
    void ImportDatabase();

private:
    // Runs command, showing a failure of the model database or of the import as an error.
    void Guard(const std::function<void()> &command);

    QWidget *window_;
    TUserInteraction &ui_;
    TSelectedProject selectedProject_;
    TReloadProjects reloadProjects_;
};
