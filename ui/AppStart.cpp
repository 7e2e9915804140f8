#include "ui/AppStart.h"

#include <QApplication>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <fontconfig/fontconfig.h>

namespace AppStart {

void Prepare(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("VelmoraPHP"));
    QApplication::setApplicationDisplayName(QStringLiteral("VelmoraPHP"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));

    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
}

TFontWarmUp::TFontWarmUp() : thread_([] { FcInit(); }) {}

void TFontWarmUp::Wait()
{
    if (thread_.joinable())
        thread_.join();
}

TImageFormatsWarmUp::TImageFormatsWarmUp() : thread_([] { QImageReader::supportedImageFormats(); }) {}

TImageFormatsWarmUp::~TImageFormatsWarmUp()
{
    thread_.join();
}

} // namespace AppStart
