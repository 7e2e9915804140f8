#include "MainForm.h"
#include "UserInteraction.h"
#include "model/DbHelper.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelmoraPHP"));
    QApplication::setApplicationDisplayName(QStringLiteral("VelmoraPHP"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));

    // The standard buttons of message boxes and prompts in Chinese, like every other text.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    // Everything the program reads or writes lies in its own folder.
    const QString programDir = QApplication::applicationDirPath();
    TDbHelper::SetDefaultDatabaseFile(QDir(programDir).filePath(QStringLiteral("projects.mdb")));

    TQtUserInteraction interaction;
    TFormMain window(interaction, programDir);
    window.show();
    return app.exec();
}
