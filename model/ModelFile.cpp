#include "ModelFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString formatKey = QStringLiteral("format");
const QString versionKey = QStringLiteral("version");
const QString projectKey = QStringLiteral("project");
const QString classesKey = QStringLiteral("classes");
const QString classNameKey = QStringLiteral("className");
const QString friendNameKey = QStringLiteral("friendName");
const QString membersKey = QStringLiteral("members");
const QString tableNameKey = QStringLiteral("tableName");
const QString compositeKeyKey = QStringLiteral("compositeKey");
const QString readOnlyKey = QStringLiteral("classIsReadOnly");
const QString indexesKey = QStringLiteral("indexes");
const QString charsetKey = QStringLiteral("tableCharset");
const QString existingKey = QStringLiteral("existingDatabase");
const QString indexNameKey = QStringLiteral("indexName");
const QString indexMembersKey = QStringLiteral("indexMembers");
const QString indexIsUniqueKey = QStringLiteral("indexIsUnique");
const QString indexPrefixesKey = QStringLiteral("indexPrefixes"); // only for an index holding a prefix
// Written only for a class whose diagram box was dragged, so other models keep their bytes.
const QString diagramKey = QStringLiteral("diagram");
const QString xKey = QStringLiteral("x");
const QString yKey = QStringLiteral("y");

// Every stored field of a member but its ids, with how the file holds it.
enum class TFieldKind { Text, Number, Flag, Rule, TextList };
struct TMemberField {
    const char *key;
    TFieldKind kind;
    bool required;
    QString (TMember::*text)() const;
    void (TMember::*setText)(const QString &);
    int (TMember::*number)() const;
    void (TMember::*setNumber)(int);
    QStringList (TMember::*list)() const = nullptr;
    void (TMember::*setList)(const QStringList &) = nullptr;
};

const TMemberField memberFields[] = {
    {"memberName", TFieldKind::Text, true, &TMember::memberName, &TMember::setMemberName, nullptr, nullptr},
    {"memberType", TFieldKind::Text, true, &TMember::memberType, &TMember::setMemberType, nullptr, nullptr},
    {"memberLength", TFieldKind::Number, false, nullptr, nullptr, &TMember::memberLength, &TMember::setMemberLength},
    {"memberIsPri", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsPri, &TMember::setMemberIsPri},
    {"memberComment", TFieldKind::Text, false, &TMember::memberComment, &TMember::setMemberComment, nullptr, nullptr},
    {"memberIsMust", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsMust, &TMember::setMemberIsMust},
    {"memberIsInteger", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsInteger, &TMember::setMemberIsInteger},
    {"memberIsFloat", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsFloat, &TMember::setMemberIsFloat},
    {"queryFlag", TFieldKind::Flag, false, nullptr, nullptr, &TMember::queryFlag, &TMember::setQueryFlag},
    {"memberIsDisplay", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsDisplay, &TMember::setMemberIsDisplay},
    {"memberQueryDisplay", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberQueryDisplay, &TMember::setMemberQueryDisplay},
    {"memberScale", TFieldKind::Number, false, nullptr, nullptr, &TMember::memberScale, &TMember::setMemberScale},
    {"memberIsUnsigned", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsUnsigned, &TMember::setMemberIsUnsigned},
    {"memberIsNullable", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsNullable, &TMember::setMemberIsNullable},
    {"memberOnDelete", TFieldKind::Rule, false, &TMember::memberOnDelete, &TMember::setMemberOnDelete, nullptr, nullptr},
    {"memberOnUpdate", TFieldKind::Rule, false, &TMember::memberOnUpdate, &TMember::setMemberOnUpdate, nullptr, nullptr},
    {"memberEnumValues", TFieldKind::TextList, false, nullptr, nullptr, nullptr, nullptr, &TMember::memberEnumValues, &TMember::setMemberEnumValues},
    {"memberColumnName", TFieldKind::Text, false, &TMember::memberColumnName, &TMember::setMemberColumnName, nullptr, nullptr},
    {"memberSqlType", TFieldKind::Text, false, &TMember::memberSqlType, &TMember::setMemberSqlType, nullptr, nullptr},
    {"memberIsZerofill", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberIsZerofill, &TMember::setMemberIsZerofill},
    {"memberAutoIncrement", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberAutoIncrement, &TMember::setMemberAutoIncrement},
    {"memberDefault", TFieldKind::Text, false, &TMember::memberDefault, &TMember::setMemberDefault, nullptr, nullptr},
    {"memberOnUpdateNow", TFieldKind::Flag, false, nullptr, nullptr, &TMember::memberOnUpdateNow, &TMember::setMemberOnUpdateNow},
    {"memberCharset", TFieldKind::Text, false, &TMember::memberCharset, &TMember::setMemberCharset, nullptr, nullptr},
    {"memberCollation", TFieldKind::Text, false, &TMember::memberCollation, &TMember::setMemberCollation, nullptr, nullptr},
};

// The fields from memberColumnName on are written only when set, so older files keep their shape.
bool writtenWhenSet(const TMemberField &field)
{
    static const qsizetype first = [] {
        qsizetype i = 0;
        while (qstrcmp(memberFields[i].key, "memberColumnName") != 0)
            ++i;
        return i;
    }();
    return &field - memberFields >= first;
}

QJsonObject memberToJson(const TMember &member)
{
    QJsonObject object;
    for (const TMemberField &field : memberFields) {
        const QString key = QString::fromLatin1(field.key);
        if (writtenWhenSet(field)
            && (field.text ? (member.*field.text)().isEmpty() : (member.*field.number)() == 0))
            continue;
        if (field.kind == TFieldKind::Text || field.kind == TFieldKind::Rule)
            object.insert(key, (member.*field.text)());
        else if (field.kind == TFieldKind::TextList)
            object.insert(key, QJsonArray::fromStringList((member.*field.list)()));
        else
            object.insert(key, (member.*field.number)());
    }
    return object;
}

QJsonArray indexesToJson(const TClassIndexes &indexes)
{
    QJsonArray array;
    for (const TClassIndex &index : indexes) {
        QJsonObject object{{indexNameKey, index.indexName},
                           {indexMembersKey, QJsonArray::fromStringList(index.indexMembers)},
                           {indexIsUniqueKey, index.indexIsUnique}};
        if (std::any_of(index.indexPrefixes.cbegin(), index.indexPrefixes.cend(), [](int p) { return p > 0; })) {
            QJsonArray prefixes;
            for (qsizetype i = 0; i < index.indexMembers.size(); ++i)
                prefixes.append(index.Prefix(i));
            object.insert(indexPrefixesKey, prefixes);
        }
        array.append(object);
    }
    return array;
}

// The line and column (both from 1, the column in characters) of a byte offset.
QString place(const QByteArray &bytes, qsizetype offset)
{
    const QByteArray before = bytes.left(offset);
    const int line = int(before.count('\n')) + 1;
    const QByteArray lineStart = before.mid(before.lastIndexOf('\n') + 1);
    const qsizetype column = QString::fromUtf8(lineStart).size() + 1;
    return QStringLiteral("第%1行第%2列").arg(line).arg(column);
}

// What the JSON parser stopped at, for the user.
QString parseFailure(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("对象没有正确结束(缺少\"}\"或多了逗号)");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("字段名后缺少冒号");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("数组没有正确结束(缺少\"]\"或多了逗号)");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("缺少逗号");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("不合法的值");
    case QJsonParseError::TerminationByNumber:
    case QJsonParseError::MissingObject:
        return QStringLiteral("文件意外结束");
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("不合法的数字");
    case QJsonParseError::IllegalEscapeSequence:
        return QStringLiteral("不合法的转义序列");
    case QJsonParseError::IllegalUTF8String:
        return QStringLiteral("不是合法的UTF-8文本");
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("字符串没有结束(缺少引号)");
    case QJsonParseError::GarbageAtEnd:
        return QStringLiteral("JSON结束之后还有多余的内容");
    default:
        return QStringLiteral("嵌套太深或文件太大");
    }
}

// Reads the fields of one JSON object, collecting every problem under the object's path.
class TObjectReader {
public:
    TObjectReader(const QJsonObject &object, QString path, QStringList &problems)
        : object_(object), path_(std::move(path)), problems_(problems)
    {
    }

    QString Text(const QString &key, bool required)
    {
        const QJsonValue value = Take(key, required);
        if (value.isUndefined())
            return QString(QLatin1String(""));
        if (!value.isString()) {
            Problem(key, QStringLiteral("应为字符串"));
            return QString();
        }
        return value.toString();
    }

    int Number(const QString &key, bool required, int fallback, bool flag)
    {
        const QJsonValue value = Take(key, required);
        if (value.isUndefined())
            return fallback;
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || number != std::floor(number)
            || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
            Problem(key, flag ? QStringLiteral("应为0或1") : QStringLiteral("应为整数"));
            return fallback;
        }
        if (flag && number != 0 && number != 1) {
            Problem(key, QStringLiteral("应为0或1"));
            return fallback;
        }
        return int(number);
    }

    // A text that must be one of the choices; fallback when absent or not one of them.
    QString Choice(const QString &key, const QStringList &choices, const QString &fallback)
    {
        const QJsonValue value = Take(key, false);
        if (value.isUndefined())
            return fallback;
        if (!choices.contains(value.toString())) {
            Problem(key, QStringLiteral("应为%1之一").arg(choices.join(QStringLiteral("、"))));
            return fallback;
        }
        return value.toString();
    }

    QJsonArray Array(const QString &key, bool required = true)
    {
        const QJsonValue value = Take(key, required);
        if (!value.isUndefined() && !value.isArray())
            Problem(key, QStringLiteral("应为数组"));
        return value.toArray();
    }

    QStringList TextList(const QString &key, bool required)
    {
        const QJsonArray array = Array(key, required);
        QStringList texts;
        for (const QJsonValue &value : array) {
            if (!value.isString()) {
                Problem(key, QStringLiteral("应为字符串的数组"));
                return {};
            }
            texts.append(value.toString());
        }
        return texts;
    }

    QJsonValue Take(const QString &key, bool required)
    {
        seen_.insert(key);
        const QJsonValue value = object_.value(key);
        if (value.isUndefined() && required)
            Problem(key, QStringLiteral("缺少这个字段"));
        return value;
    }

    // A key no field reads: most likely a misspelt one, whose value would otherwise be lost.
    void RefuseUnknownKeys()
    {
        for (auto it = object_.constBegin(); it != object_.constEnd(); ++it) {
            if (!seen_.contains(it.key()))
                Problem(it.key(), QStringLiteral("未知的字段"));
        }
    }

    void Problem(const QString &key, const QString &what)
    {
        problems_.append(QStringLiteral("%1%2: %3").arg(path_.isEmpty() ? QString() : path_ + QLatin1Char('.'), key, what));
    }

private:
    const QJsonObject object_;
    const QString path_;
    QStringList &problems_;
    QSet<QString> seen_;
};

TMember readMember(const QJsonObject &object, const QString &path, QStringList &problems)
{
    TObjectReader reader(object, path, problems);
    TMember member;
    for (const TMemberField &field : memberFields) {
        const QString key = QString::fromLatin1(field.key);
        if (field.kind == TFieldKind::Text)
            (member.*field.setText)(reader.Text(key, field.required));
        else if (field.kind == TFieldKind::Rule)
            (member.*field.setText)(reader.Choice(key, ForeignKeyRule::All(), (member.*field.text)()));
        else if (field.kind == TFieldKind::TextList)
            (member.*field.setList)(reader.TextList(key, field.required));
        else
            (member.*field.setNumber)(reader.Number(key, field.required, (member.*field.number)(),
                                                    field.kind == TFieldKind::Flag));
    }
    reader.RefuseUnknownKeys();
    return member;
}

TModelClass readClass(const QJsonObject &object, int classIndex, QStringList &problems)
{
    TObjectReader reader(object, TModelFile::ClassPath(classIndex), problems);
    TModelClass cls;
    cls.className = reader.Text(classNameKey, true);
    cls.friendName = reader.Text(friendNameKey, false);
    cls.tableName = reader.Text(tableNameKey, false);
    cls.compositeKey = reader.Number(compositeKeyKey, false, 0, true);
    cls.isReadOnly = reader.Number(readOnlyKey, false, 0, true) == 1;
    const QJsonArray members = reader.Array(membersKey);
    for (qsizetype m = 0; m < members.size(); ++m) {
        const QString path = TModelFile::MemberPath(classIndex, int(m));
        if (!members.at(m).isObject()) {
            problems.append(path + QStringLiteral(": 应为对象"));
            continue;
        }
        cls.members.append(readMember(members.at(m).toObject(), path, problems));
    }
    const QJsonArray indexes = reader.Array(indexesKey, false);
    for (qsizetype i = 0; i < indexes.size(); ++i) {
        const QString path = TModelFile::ClassPath(classIndex) + QStringLiteral(".indexes[%1]").arg(i);
        if (!indexes.at(i).isObject()) {
            problems.append(path + QStringLiteral(": 应为对象"));
            continue;
        }
        TObjectReader indexReader(indexes.at(i).toObject(), path, problems);
        TClassIndex index;
        index.indexName = indexReader.Text(indexNameKey, true);
        index.indexMembers = indexReader.TextList(indexMembersKey, true);
        index.indexIsUnique = indexReader.Number(indexIsUniqueKey, false, 0, true);
        for (const QJsonValue &prefix : indexReader.Array(indexPrefixesKey, false)) {
            if (!prefix.isDouble() || prefix.toInt(-1) < 0) {
                indexReader.Problem(indexPrefixesKey, QStringLiteral("应为非负整数的数组"));
                break;
            }
            index.indexPrefixes.append(prefix.toInt());
        }
        indexReader.RefuseUnknownKeys();
        cls.indexes.append(index);
    }
    const QJsonValue diagram = reader.Take(diagramKey, false);
    if (diagram.isObject()) {
        TObjectReader corner(diagram.toObject(), TModelFile::ClassPath(classIndex) + QLatin1Char('.') + diagramKey, problems);
        const int x = corner.Number(xKey, true, 0, false);
        const int y = corner.Number(yKey, true, 0, false);
        corner.RefuseUnknownKeys();
        cls.diagramPosition = QPoint(x, y);
    } else if (!diagram.isUndefined()) {
        reader.Problem(diagramKey, QStringLiteral("应为对象"));
    }
    reader.RefuseUnknownKeys();
    return cls;
}

} // namespace

const QString TModelFile::FormatName = QStringLiteral("VelmoraPHP-model");

TModelFileError::TModelFileError(const QStringList &problems)
    : std::runtime_error(problems.join(QLatin1Char('\n')).toStdString()), problems_(problems)
{
}

QString TModelFile::ClassPath(int classIndex)
{
    return QStringLiteral("classes[%1]").arg(classIndex);
}

QString TModelFile::MemberPath(int classIndex, int memberIndex)
{
    return ClassPath(classIndex) + QStringLiteral(".members[%1]").arg(memberIndex);
}

QByteArray TModelFile::ToJson(const TModelDocument &document)
{
    QJsonArray classes;
    for (const TModelClass &cls : document.classes) {
        QJsonArray members;
        for (const TMember &member : cls.members)
            members.append(memberToJson(member));
        QJsonObject object{{classNameKey, cls.className},
                           {friendNameKey, cls.friendName},
                           {membersKey, members},
                           {indexesKey, indexesToJson(cls.indexes)}};
        if (!cls.tableName.isEmpty())
            object.insert(tableNameKey, cls.tableName);
        if (cls.compositeKey == 1)
            object.insert(compositeKeyKey, 1);
        if (cls.isReadOnly)
            object.insert(readOnlyKey, 1);
        if (cls.diagramPosition)
            object.insert(diagramKey, QJsonObject{{xKey, cls.diagramPosition->x()}, {yKey, cls.diagramPosition->y()}});
        classes.append(object);
    }
    QJsonObject root{{formatKey, FormatName},
                     {versionKey, FormatVersion},
                     {projectKey, document.projectName},
                     {charsetKey, document.tableCharset},
                     {classesKey, classes}};
    // Only for a project living on its database, so other files stay as they were.
    if (document.existingDatabase)
        root.insert(existingKey, document.existingDatabase->ToJson());
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

TModelDocument TModelFile::FromJson(const QByteArray &bytes)
{
    // Editors on Windows like to put a byte-order mark in front; JSON itself has none.
    const QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        throw TModelFileError({QStringLiteral("模型文件不是合法的JSON, %1: %2")
                                   .arg(place(text, error.offset), parseFailure(error.error))});
    if (!json.isObject())
        throw TModelFileError({QStringLiteral("模型文件的最外层应为JSON对象")});

    QStringList problems;
    TObjectReader reader(json.object(), QString(), problems);
    const QJsonValue format = reader.Take(formatKey, false);
    if (format.toString() != FormatName)
        throw TModelFileError({QStringLiteral("这不是VelmoraPHP的模型文件(format应为\"%1\")").arg(FormatName)});
    const int version = reader.Number(versionKey, true, 0, false);
    if (problems.isEmpty() && version != FormatVersion)
        throw TModelFileError({QStringLiteral("模型文件的格式版本为%1，本程序只能读取版本%2，请使用更新版本的程序")
                                   .arg(version).arg(FormatVersion)});

    TModelDocument document;
    document.projectName = reader.Text(projectKey, true);
    document.tableCharset = reader.Choice(charsetKey, TableCharset::All(), TableCharset::Utf8);
    const QJsonValue existing = reader.Take(existingKey, false);
    if (!existing.isUndefined()) {
        QString problem = QStringLiteral("应为对象");
        if (existing.isObject())
            document.existingDatabase = TExistingDatabase::FromJson(existing.toObject(), &problem);
        if (!document.existingDatabase)
            reader.Problem(existingKey, problem);
    }
    const QJsonArray classes = reader.Array(classesKey);
    for (qsizetype c = 0; c < classes.size(); ++c) {
        if (!classes.at(c).isObject()) {
            problems.append(ClassPath(int(c)) + QStringLiteral(": 应为对象"));
            continue;
        }
        document.classes.append(readClass(classes.at(c).toObject(), int(c), problems));
    }
    reader.RefuseUnknownKeys();
    if (!problems.isEmpty())
        throw TModelFileError(problems);
    return document;
}
