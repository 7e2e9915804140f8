#pragma once

#include "UiTestSupport.h"

#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QTableView>

// Reads the main window's lists the way a user sees them.
struct TMainFormProbe {
    TFormMain *window;

    QComboBox *projects() const { return Find<QComboBox>(window, "CB_Project"); }
    QListWidget *classes() const { return Find<QListWidget>(window, "LB_Object"); }
    QTableView *members() const { return Find<QTableView>(window, "LV_Member"); }
    QString memberCell(int row, int column, int role = Qt::DisplayRole) const
    {
        return members()->model()->index(row, column).data(role).toString();
    }
    QString memberCaption(int column) const
    {
        return members()->model()->headerData(column, Qt::Horizontal).toString();
    }
    QPlainTextEdit *log() const { return Find<QPlainTextEdit>(window, "Memo_State"); }

    QStringList projectNames() const
    {
        QStringList names;
        for (int i = 0; i < projects()->count(); ++i)
            names.append(projects()->itemText(i));
        return names;
    }
    QString selectedProject() const { return projects()->currentText(); }
    // The class names of the entries (each shows "Name (friendly name)").
    QStringList classNames() const
    {
        QStringList names;
        for (int i = 0; i < classes()->count(); ++i)
            names.append(classes()->item(i)->data(Qt::UserRole + 1).toString());
        return names;
    }
    QStringList classEntries() const
    {
        QStringList entries;
        for (int i = 0; i < classes()->count(); ++i)
            entries.append(classes()->item(i)->text());
        return entries;
    }
    QString selectedClass() const { return window->Projects().SelectedClassText(); }
    // One "name|type|length|key|must|query|display|queryDisplay|comment" per row.
    QStringList memberRows() const
    {
        QStringList rows;
        for (int r = 0; r < members()->model()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 1; c < members()->model()->columnCount(); ++c)
                cells.append(memberCell(r, c));
            rows.append(cells.join(QLatin1Char('|')));
        }
        return rows;
    }
    QStringList memberNames() const
    {
        QStringList names;
        for (int r = 0; r < members()->model()->rowCount(); ++r)
            names.append(memberCell(r, 1));
        return names;
    }
    void selectProject(int index) const { projects()->setCurrentIndex(index); }
    void selectClass(int row) const { classes()->setCurrentRow(row); }
    void selectMember(int row) const { members()->selectRow(row); }
};
