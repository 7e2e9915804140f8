#include "ui/AppStart.h"
#include "ui/MainForm.h"
#include "ui/UserInteraction.h"
#include "model/DbHelper.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    AppStart::Prepare(app);

    // Everything the program reads or writes lies in its own folder.
    const QString programDir = QApplication::applicationDirPath();
    TDbHelper::SetDefaultDatabaseFile(QDir(programDir).filePath(QStringLiteral("projects.mdb")));

    TQtUserInteraction interaction;
    TFormMain window(interaction, programDir, nullptr, TFormMain::TListLoading::AfterFirstPaint);
    window.show();
    return app.exec();
}
