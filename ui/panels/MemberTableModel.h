#pragma once

#include "model/Member.h"

#include <QAbstractTableModel>
#include <QList>

// The members of one class as the main window's table shows them: 编号 (hidden; the id the
// member commands read back), the name, type, length, the five flags as 是/否, the comment.
// Cells are worded when the view asks for them, so a class of a thousand members costs only
// the rows on the screen. Long names and comments carry their whole text as a tip.
class TMemberTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { Id, Name, Type, Length, Key, Must, Query, Display, QueryDisplay, Comment, Count };

    explicit TMemberTableModel(QObject *parent = nullptr);

    void SetMembers(QList<TMember> members);
    // -1 when row is out of range.
    int MemberId(int row) const;
    // -1 when no row holds that member.
    int RowOf(int memberId) const;
    // The width a column starts with.
    static int DefaultWidth(int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QString Text(const TMember &member, int column) const;

    QList<TMember> members_;
};
