#pragma once

#include "TextTemplate.h"

#include <QString>

// The application's record of the model version its database was brought to by the table
// script or an upgrade script: one row, written by the script's last statements, so that a
// later upgrade starts from the right version without the user having to know it.
inline constexpr char modelVersionTable[] = "model_version";
inline constexpr char createModelVersion[] = R"sql(
CREATE TABLE IF NOT EXISTS `{prefix}model_version` (
  `id` tinyint NOT NULL DEFAULT 1,
  `modelVersion` int NOT NULL COMMENT '生成记录中的模型版本号',
  `appliedAt` datetime NOT NULL COMMENT '执行脚本的时间（UTC）',
  PRIMARY KEY (`id`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
)sql";

// The closing statements of a script that brings the database to version.
inline QString ModelVersionStatements(const QString &prefix, int version)
{
    static constexpr char title[] = R"sql(

-- ------------------------------------------------------
-- 数据库所处的模型版本：第 {version} 版
-- ------------------------------------------------------
)sql";
    static constexpr char write[] = R"sql(
REPLACE INTO `{prefix}model_version` (`id`, `modelVersion`, `appliedAt`) VALUES (1, {version}, UTC_TIMESTAMP());
)sql";
    const TVars vars{{"prefix", prefix}, {"version", QString::number(version)}};
    TTextBuilder out;
    out.Emit(title, vars);
    out.Emit(createModelVersion, vars);
    out.Emit(write, vars);
    return out.Text();
}
