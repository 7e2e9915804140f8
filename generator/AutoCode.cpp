#include "AutoCode.h"

TAutoCode::TAutoCode(int projectId, const QString &projectName, const QString &tablePrefix,
                     const QString &programDir, QObject *parent)
    : QThread(parent), projectId_(projectId), projectName_(projectName),
      tablePrefix_(tablePrefix), programDir_(programDir)
{
}

void TAutoCode::RequestStop()
{
    stop_.storeRelaxed(1);
}

void TAutoCode::run()
{
    const QString reason = QStringLiteral("代码生成尚未完成");
    emit Progress(QStringLiteral("代码生成失败: ") + reason);
    emit GenerationFailed(reason);
}
