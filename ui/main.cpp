#include "ui/AppStart.h"
#include "ui/MainForm.h"
#include "ui/UserInteraction.h"
#include "model/DbHelper.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    AppStart::TFontWarmUp fonts;
    QApplication app(argc, argv);
    AppStart::Prepare(app);
    const AppStart::TImageFormatsWarmUp imageFormats;

    // Everything the program reads or writes lies in its own folder.
    const QString programDir = QApplication::applicationDirPath();
    TDbHelper::SetDefaultDatabaseFile(QDir(programDir).filePath(QStringLiteral("projects.mdb")));

    TQtUserInteraction interaction;
    fonts.Wait();
    TFormMain window(interaction, programDir);
    window.show();
    return app.exec();
}
