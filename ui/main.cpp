#include "model/DbHelper.h"
#include "model/ProjectDAO.h"

#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("VelmoraPHP基于MVC三层模式代码生成器2.0版"));
    auto *projects = new QComboBox(&window);
    window.setCentralWidget(projects);
    window.show();
    try {
        for (const TListEntry &project : TProjectDAO().GetProjects())
            projects->addItem(project.name, project.id);
    } catch (const TDbError &error) {
        QMessageBox::critical(&window, window.windowTitle(), error.message());
    }
    return app.exec();
}
