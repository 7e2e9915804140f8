#include "DataBaseSql.h"

#include "GenerationError.h"

QString TDataBaseSql::Build(int, const QString &, const QString &)
{
    throw TGenerationError(QStringLiteral("建表语句生成尚未完成"));
}
