#include "ui/panels/MemberTableModel.h"

#include <iterator>

namespace {

struct TColumnInfo {
    const char *caption;
    int width;
};
const TColumnInfo columns[] = {
    {"编号", 1},     {"成员名称", 90}, {"成员类型", 70},   {"长度", 50},     {"主键", 50},
    {"必填", 50},    {"查询", 50},     {"下拉框显示", 75}, {"界面显示", 60}, {"注释", 80},
};
static_assert(std::size(columns) == TMemberTableModel::Count);

QString yesNo(int flag)
{
    return flag == 1 ? QStringLiteral("是") : QStringLiteral("否");
}

} // namespace

TMemberTableModel::TMemberTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void TMemberTableModel::SetMembers(QList<TMember> members)
{
    beginResetModel();
    members_ = std::move(members);
    endResetModel();
}

int TMemberTableModel::MemberId(int row) const
{
    return row >= 0 && row < members_.size() ? members_.at(row).memberId() : -1;
}

int TMemberTableModel::RowOf(int memberId) const
{
    for (int row = 0; row < members_.size(); ++row) {
        if (members_.at(row).memberId() == memberId)
            return row;
    }
    return -1;
}

int TMemberTableModel::DefaultWidth(int column)
{
    return columns[column].width;
}

int TMemberTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(members_.size());
}

int TMemberTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count;
}

QString TMemberTableModel::Text(const TMember &m, int column) const
{
    switch (column) {
    case Id: return QString::number(m.memberId());
    case Name: return m.memberName();
    case Type: return m.memberType();
    case Length: return QString::number(m.memberLength());
    case Key: return yesNo(m.memberIsPri());
    case Must: return yesNo(m.memberIsMust());
    case Query: return yesNo(m.queryFlag());
    case Display: return yesNo(m.memberIsDisplay());
    case QueryDisplay: return yesNo(m.memberQueryDisplay());
    case Comment: return m.memberComment();
    }
    return QString();
}

QVariant TMemberTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= members_.size())
        return QVariant();
    const TMember &member = members_.at(index.row());
    if (role == Qt::DisplayRole)
        return Text(member, index.column());
    // Long names and comments are cut short in their columns; the tip shows them whole.
    if (role == Qt::ToolTipRole && (index.column() == Name || index.column() == Comment))
        return Text(member, index.column());
    return QVariant();
}

QVariant TMemberTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < Count)
        return QString::fromUtf8(columns[section].caption);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TMemberTableModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}
