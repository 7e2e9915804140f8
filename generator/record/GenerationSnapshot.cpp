#include "GenerationRecord.h"

#include "ProjectModel.h"

#include <QJsonArray>

#include <algorithm>
#include <charconv>
#include <string>

// The model as a generation recorded it: written into the record and read back for upgrade scripts.

namespace {

QStringList textList(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue &text : value.toArray())
        texts.append(text.toString());
    return texts;
}

// One pass over the fields: a snapshot holds thousands of members, and looking each field up by
// name costs a search per field.
TMember memberFromSnapshot(const QJsonObject &o, int projectId, int classId)
{
    TMember m;
    m.setProjectId(projectId);
    m.setClassId(classId);
    for (auto it = o.constBegin(); it != o.constEnd(); ++it) {
        const QString key = it.key();
        const QJsonValue value = it.value();
        if (key == QLatin1String("memberId"))
            m.setMemberId(value.toInt());
        else if (key == QLatin1String("memberName"))
            m.setMemberName(value.toString());
        else if (key == QLatin1String("memberType"))
            m.setMemberType(value.toString());
        else if (key == QLatin1String("memberLength"))
            m.setMemberLength(value.toInt());
        else if (key == QLatin1String("memberIsPri"))
            m.setMemberIsPri(value.toInt());
        else if (key == QLatin1String("memberComment"))
            m.setMemberComment(value.toString());
        else if (key == QLatin1String("memberIsMust"))
            m.setMemberIsMust(value.toInt());
        else if (key == QLatin1String("memberIsInteger"))
            m.setMemberIsInteger(value.toInt());
        else if (key == QLatin1String("memberIsFloat"))
            m.setMemberIsFloat(value.toInt());
        else if (key == QLatin1String("queryFlag"))
            m.setQueryFlag(value.toInt());
        else if (key == QLatin1String("memberIsDisplay"))
            m.setMemberIsDisplay(value.toInt());
        else if (key == QLatin1String("memberQueryDisplay"))
            m.setMemberQueryDisplay(value.toInt(1));
        else if (key == QLatin1String("memberScale"))
            m.setMemberScale(value.toInt());
        else if (key == QLatin1String("memberIsUnsigned"))
            m.setMemberIsUnsigned(value.toInt());
        else if (key == QLatin1String("memberIsNullable"))
            m.setMemberIsNullable(value.toInt());
        else if (key == QLatin1String("memberOnDelete"))
            m.setMemberOnDelete(value.toString());
        else if (key == QLatin1String("memberOnUpdate"))
            m.setMemberOnUpdate(value.toString());
        else if (key == QLatin1String("memberEnumValues"))
            m.setMemberEnumValues(textList(value));
        else if (key == QLatin1String("memberColumnName"))
            m.setMemberColumnName(value.toString());
        else if (key == QLatin1String("memberSqlType"))
            m.setMemberSqlType(value.toString());
        else if (key == QLatin1String("memberIsZerofill"))
            m.setMemberIsZerofill(value.toInt());
        else if (key == QLatin1String("memberAutoIncrement"))
            m.setMemberAutoIncrement(value.toInt());
        else if (key == QLatin1String("memberDefault"))
            m.setMemberDefault(value.toString());
        else if (key == QLatin1String("memberOnUpdateNow"))
            m.setMemberOnUpdateNow(value.toInt());
        else if (key == QLatin1String("memberCharset"))
            m.setMemberCharset(value.toString());
        else if (key == QLatin1String("memberCollation"))
            m.setMemberCollation(value.toString());
    }
    return m;
}

TClassIndexes indexesFromSnapshot(const QJsonArray &array)
{
    TClassIndexes indexes;
    for (const QJsonValue &value : array) {
        const QJsonObject o = value.toObject();
        indexes.append({o.value(QStringLiteral("indexName")).toString(),
                        textList(o.value(QStringLiteral("indexMembers"))),
                        o.value(QStringLiteral("indexIsUnique")).toInt(), {}});
        for (const QJsonValue &prefix : o.value(QStringLiteral("indexPrefixes")).toArray())
            indexes.last().indexPrefixes.append(prefix.toInt());
    }
    return indexes;
}

// Compact JSON written straight into bytes, as QJsonDocument::toJson writes it: a model of
// thousands of members costs several times more as QJsonObjects. Members go in the order
// QJsonObject sorts its keys.
class TJsonText {
public:
    std::string bytes;

    void Key(const char *key)
    {
        Separate();
        bytes += '"';
        bytes += key;
        bytes += "\":";
        first_ = true; // the value follows without a comma
        afterKey_ = true;
    }
    void Int(int value)
    {
        Separate();
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        bytes.append(digits, size_t(end - digits));
    }
    void String(const QString &value)
    {
        Separate();
        bytes += '"';
        // Names and types are mostly plain ASCII: those go over as they are.
        const size_t start = bytes.size();
        for (const QChar c : value) {
            const char16_t u = c.unicode();
            if (u < 0x20 || u >= 0x80 || u == '"' || u == '\\') {
                bytes.resize(start);
                Escaped(value.toUtf8());
                break;
            }
            bytes += char(u);
        }
        bytes += '"';
    }
    void Open(char bracket)
    {
        Separate();
        bytes += bracket;
        first_ = true;
    }
    void Close(char bracket)
    {
        bytes += bracket;
        first_ = false;
    }
    void Strings(const QStringList &values)
    {
        Open('[');
        for (const QString &value : values)
            String(value);
        Close(']');
    }

private:
    void Escaped(const QByteArray &utf8)
    {
        qsizetype plain = 0; // start of the run of characters copied as they are
        for (qsizetype i = 0; i < utf8.size(); ++i) {
            const char c = utf8.at(i);
            const uchar u = uchar(c);
            if (u >= 0x20 && c != '"' && c != '\\')
                continue;
            bytes.append(utf8.constData() + plain, size_t(i - plain));
            plain = i + 1;
            bytes += '\\';
            switch (c) {
            case '"': bytes += '"'; break;
            case '\\': bytes += '\\'; break;
            case '\b': bytes += 'b'; break;
            case '\f': bytes += 'f'; break;
            case '\n': bytes += 'n'; break;
            case '\r': bytes += 'r'; break;
            case '\t': bytes += 't'; break;
            default:
                bytes += "u00";
                bytes += "0123456789abcdef"[u >> 4];
                bytes += "0123456789abcdef"[u & 15];
            }
        }
        bytes.append(utf8.constData() + plain, size_t(utf8.size() - plain));
    }

    void Separate()
    {
        if (afterKey_)
            afterKey_ = false;
        else if (!first_)
            bytes += ',';
        first_ = false;
    }

    bool first_ = true;
    bool afterKey_ = false;
};

} // namespace

TProjectModel TGenerationRecord::SnapshotModel(const QJsonObject &snapshot)
{
    const int projectId = snapshot.value(QStringLiteral("projectId")).toInt();
    QList<TClassModel> classes;
    for (const QJsonValue &value : snapshot.value(QStringLiteral("classes")).toArray()) {
        const QJsonObject o = value.toObject();
        TClassModel cls;
        cls.classId = o.value(QStringLiteral("classId")).toInt();
        cls.className = o.value(QStringLiteral("className")).toString();
        cls.friendName = o.value(QStringLiteral("friendName")).toString();
        cls.tableName = o.value(QStringLiteral("tableName")).toString();
        cls.compositeKey = o.value(QStringLiteral("compositeKey")).toInt();
        cls.isReadOnly = o.value(QStringLiteral("classIsReadOnly")).toInt() == 1;
        const QJsonArray members = o.value(QStringLiteral("members")).toArray();
        cls.members.reserve(members.size());
        for (const QJsonValue &member : members)
            cls.members.append(memberFromSnapshot(member.toObject(), projectId, cls.classId));
        cls.indexes = indexesFromSnapshot(o.value(QStringLiteral("indexes")).toArray());
        classes.append(std::move(cls));
    }
    // A snapshot from before the setting existed is of utf8 tables.
    TProjectModel model = TProjectModel::FromClasses(
        projectId, std::move(classes),
        snapshot.value(QStringLiteral("tableCharset")).toString(TableCharset::Utf8));
    const QJsonValue existing = snapshot.value(QStringLiteral("existingDatabase"));
    if (existing.isObject())
        model.SetExistingDatabase(TExistingDatabase::FromJson(existing.toObject(), nullptr));
    return model;
}

QByteArray TGenerationRecord::SnapshotJson(const TProjectModel &model, const QString &projectName,
                                           const QString &tablePrefix, int version,
                                           const QString &time)
{
    TJsonText json;
    json.bytes.reserve(256 + 400 * size_t(model.Classes().size()) * 20);
    json.Open('{');
    json.Key("classes");
    json.Open('[');
    for (const TClassModel &cls : model.Classes()) {
        json.Open('{');
        json.Key("classId"), json.Int(cls.classId);
        // The marks are written only when set, so a record of a class without them stays as it was.
        if (cls.isReadOnly)
            json.Key("classIsReadOnly"), json.Int(1);
        json.Key("className"), json.String(cls.className);
        if (cls.compositeKey == 1)
            json.Key("compositeKey"), json.Int(1);
        json.Key("friendName"), json.String(cls.friendName);
        json.Key("indexes");
        json.Open('[');
        for (const TClassIndex &index : cls.indexes) {
            json.Open('{');
            json.Key("indexIsUnique"), json.Int(index.indexIsUnique);
            json.Key("indexMembers"), json.Strings(index.indexMembers);
            json.Key("indexName"), json.String(index.indexName);
            if (std::any_of(index.indexPrefixes.cbegin(), index.indexPrefixes.cend(), [](int p) { return p > 0; })) {
                json.Key("indexPrefixes");
                json.Open('[');
                for (qsizetype i = 0; i < index.indexMembers.size(); ++i)
                    json.Int(index.Prefix(i));
                json.Close(']');
            }
            json.Close('}');
        }
        json.Close(']');
        json.Key("members");
        json.Open('[');
        for (const TMember &m : cls.members) {
            json.Open('{');
            // The later fields are written only when set, so a record of a model without them
            // stays as it was.
            const auto text = [&json](const char *key, const QString &value) {
                if (!value.isEmpty())
                    json.Key(key), json.String(value);
            };
            const auto flag = [&json](const char *key, int value) {
                if (value != 0)
                    json.Key(key), json.Int(value);
            };
            flag("memberAutoIncrement", m.memberAutoIncrement());
            text("memberCharset", m.memberCharset());
            text("memberCollation", m.memberCollation());
            text("memberColumnName", m.memberColumnName());
            json.Key("memberComment"), json.String(m.memberComment());
            text("memberDefault", m.memberDefault());
            json.Key("memberEnumValues"), json.Strings(m.memberEnumValues());
            json.Key("memberId"), json.Int(m.memberId());
            json.Key("memberIsDisplay"), json.Int(m.memberIsDisplay());
            json.Key("memberIsFloat"), json.Int(m.memberIsFloat());
            json.Key("memberIsInteger"), json.Int(m.memberIsInteger());
            json.Key("memberIsMust"), json.Int(m.memberIsMust());
            json.Key("memberIsNullable"), json.Int(m.memberIsNullable());
            json.Key("memberIsPri"), json.Int(m.memberIsPri());
            json.Key("memberIsUnsigned"), json.Int(m.memberIsUnsigned());
            flag("memberIsZerofill", m.memberIsZerofill());
            json.Key("memberLength"), json.Int(m.memberLength());
            json.Key("memberName"), json.String(m.memberName());
            json.Key("memberOnDelete"), json.String(m.memberOnDelete());
            json.Key("memberOnUpdate"), json.String(m.memberOnUpdate());
            flag("memberOnUpdateNow", m.memberOnUpdateNow());
            json.Key("memberQueryDisplay"), json.Int(m.memberQueryDisplay());
            json.Key("memberScale"), json.Int(m.memberScale());
            text("memberSqlType", m.memberSqlType());
            json.Key("memberType"), json.String(m.memberType());
            json.Key("queryFlag"), json.Int(m.queryFlag());
            json.Close('}');
        }
        json.Close(']');
        // Written only when set, so a record of a model without own names stays as it was.
        if (!cls.tableName.isEmpty())
            json.Key("tableName"), json.String(cls.tableName);
        json.Close('}');
    }
    json.Close(']');
    if (const std::optional<TExistingDatabase> &existing = model.ExistingDatabase()) {
        json.Key("existingDatabase");
        json.Open('{');
        json.Key("appPrefix"), json.String(existing->appPrefix);
        json.Key("database"), json.String(existing->database);
        json.Key("host"), json.String(existing->host);
        json.Key("port"), json.Int(existing->port);
        json.Key("socket"), json.String(existing->socket);
        json.Key("user"), json.String(existing->user);
        json.Close('}');
    }
    json.Key("projectId"), json.Int(model.ProjectId());
    json.Key("projectName"), json.String(projectName);
    json.Key("tableCharset"), json.String(model.Charset());
    json.Key("tablePrefix"), json.String(tablePrefix);
    json.Key("time"), json.String(time);
    json.Key("version"), json.Int(version);
    json.Close('}');
    return QByteArray(json.bytes.data(), qsizetype(json.bytes.size()));
}
