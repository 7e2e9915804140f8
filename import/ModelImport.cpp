#include "ModelImport.h"

#include "ImportError.h"

#include "generator/check/ModelChecker.h"
#include "generator/check/ProjectModel.h"
#include "generator/record/ReadSnapshot.h"
#include "model/ClassDAO.h"
#include "model/DbHelper.h"
#include "model/ModelFile.h"
#include "model/ModelStore.h"
#include "model/ProjectDAO.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>

namespace {

// The checker's view of a document: every class and member gets an id of its own, so that a
// finding leads back to its place in the document.
struct TCheckedModel {
    TProjectModel model;
    QHash<int, int> classIndex;                 // classId -> index
    QHash<int, std::pair<int, int>> memberIndex; // memberId -> (class index, member index)
};

TCheckedModel checkedModel(const TModelDocument &document)
{
    constexpr int projectId = 1;
    TCheckedModel result;
    QList<TClassModel> classes;
    int memberId = 0;
    for (int c = 0; c < document.classes.size(); ++c) {
        const TModelClass &source = document.classes.at(c);
        TClassModel cls;
        cls.classId = c + 1;
        cls.className = source.className;
        cls.friendName = source.friendName;
        cls.tableName = source.tableName;
        cls.compositeKey = source.compositeKey;
        cls.isReadOnly = source.isReadOnly;
        cls.indexes = source.indexes;
        for (int m = 0; m < source.members.size(); ++m) {
            TMember member = source.members.at(m);
            member.setMemberId(++memberId);
            member.setProjectId(projectId);
            member.setClassId(cls.classId);
            cls.members.append(member);
            result.memberIndex.insert(memberId, {c, m});
        }
        result.classIndex.insert(cls.classId, c);
        classes.append(std::move(cls));
    }
    result.model = TProjectModel::FromClasses(projectId, std::move(classes), document.tableCharset);
    return result;
}

QString findingPath(const TModelFinding &finding, const TCheckedModel &checked)
{
    using TKind = TModelFinding::TKind;
    const QString field = finding.field.isEmpty() ? QString() : QLatin1Char('.') + finding.field;
    if (finding.memberId != 0) {
        const auto [c, m] = checked.memberIndex.value(finding.memberId);
        return TModelFile::MemberPath(c, m) + field;
    }
    if (finding.classId != 0) {
        const QString path = TModelFile::ClassPath(checked.classIndex.value(finding.classId));
        if (finding.kind == TKind::KeyMember || finding.kind == TKind::DisplayMember)
            return path + QStringLiteral(".members");
        return path + field;
    }
    return finding.field == QLatin1String("projectName") ? QStringLiteral("project") : QString();
}

void writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw TImportError({QStringLiteral("无法写入模型文件 %1: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString())},
                           false);
}

} // namespace

TModelDocument TModelImport::ReadProject(int projectId, const QString &projectName, QList<int> *classIds)
{
    TProjectModel model;
    QHash<int, QPoint> positions;
    {
        const TReadSnapshot snapshot;
        model = TProjectModel::Load(projectId);
        positions = TClassDAO().GetDiagramPositions(projectId);
    }
    TModelDocument document;
    document.projectName = projectName;
    document.tableCharset = model.Charset();
    document.existingDatabase = model.ExistingDatabase();
    for (const TClassModel &cls : model.Classes()) {
        document.classes.append({cls.className, cls.friendName, cls.members, cls.indexes, cls.tableName, cls.isReadOnly, std::nullopt,
                                  cls.compositeKey});
        if (positions.contains(cls.classId))
            document.classes.last().diagramPosition = positions.value(cls.classId);
        if (classIds)
            classIds->append(cls.classId);
    }
    return document;
}

QByteArray TModelImport::ProjectJson(const QString &projectName)
{
    int projectId = -1;
    for (const TListEntry &project : TProjectDAO().GetProjects()) {
        if (project.name == projectName) {
            projectId = project.id;
            break;
        }
    }
    if (projectId < 0)
        throw TImportError({QStringLiteral("找不到名为\"%1\"的项目").arg(projectName)}, false);
    return TModelFile::ToJson(ReadProject(projectId, projectName));
}

void TModelImport::ExportProject(const QString &projectName, const QString &path)
{
    writeWhole(path, ProjectJson(projectName));
}

TModelDocument TModelImport::ReadModelFile(const QString &path, const QString &projectName)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TImportError({QStringLiteral("无法读取模型文件 %1: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString())},
                           false);
    TModelDocument document;
    try {
        document = TModelFile::FromJson(file.readAll());
    } catch (const TModelFileError &error) {
        throw TImportError(error.problems(), true);
    }
    if (!projectName.isEmpty())
        document.projectName = projectName;
    return document;
}

QStringList TModelImport::FindProblems(const TModelDocument &document, const QString &projectName,
                                       const QString &prefix, bool withPaths)
{
    const TCheckedModel checked = checkedModel(document);
    QStringList problems;
    for (const TModelFinding &finding : TModelChecker::Check(checked.model, projectName, prefix)) {
        const QString path = withPaths ? findingPath(finding, checked) : QString();
        problems.append(path.isEmpty() ? finding.message : path + QStringLiteral(": ") + finding.message);
    }
    return problems;
}

int TModelImport::Store(const TModelDocument &document, const QString &projectName,
                        const QString &prefix, bool withPaths)
{
    if (projectName.trimmed().isEmpty())
        throw TImportError({QStringLiteral("项目名称不能为空!")}, false);
    if (TProjectDAO().CountByName(projectName) > 0)
        throw TImportError({QStringLiteral("已经有名为\"%1\"的项目，请另取一个名称导入").arg(projectName)},
                           false);
    const QStringList problems = FindProblems(document, projectName, prefix, withPaths);
    if (!problems.isEmpty())
        throw TImportError(problems, true);
    return TModelStore().AddProject(document, projectName);
}

QString TModelImport::InPlaceNote(const TModelDocument &document)
{
    if (!document.existingDatabase)
        return QString();
    return QStringLiteral("项目建立在数据库 %1 上: 程序自己的表使用前缀 %2，已有的表不会被建立或修改")
        .arg(document.existingDatabase->database, document.existingDatabase->appPrefix);
}
