#pragma once

#include <QString>

// The texts a generation run and the table script show the user, shared by the window and
// velmora-cli so both say the same thing.
namespace RunMessages {

inline QString KeyMemberError(const QString &className)
{
    return className + QStringLiteral("表主键设置错误，每个类只能设置一个主键!");
}

inline QString DisplayMemberError(const QString &className)
{
    return className + QStringLiteral("表显示成员设置错误，每个类有且只能设置一个显示成员!");
}

inline QString BrokenReference(const QString &className, const QString &memberName,
                               const QString &referencedClass)
{
    return className + QStringLiteral("类的成员") + memberName + QStringLiteral("引用的类")
        + referencedClass + QStringLiteral("不存在或没有主键!");
}

inline QString BadProjectName(const QString &projectName)
{
    return QStringLiteral("项目名称\"%1\"不能用作文件夹名称，请修改项目名称!").arg(projectName);
}

inline QString BadClassName(const QString &className)
{
    return QStringLiteral("类名\"%1\"不能用作文件名称，请修改类名!").arg(className);
}

// The log line and the message box of a run that stopped part-way.
inline QString GenerationFailed(const QString &reason)
{
    return QStringLiteral("代码生成失败: ") + reason;
}

inline QString GenerationDone() { return QStringLiteral("所有代码生成完毕!"); }
inline QString GenerationDoneCaption() { return QStringLiteral("任务提示"); }

} // namespace RunMessages
