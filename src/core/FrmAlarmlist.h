#pragma once

#include "Screen.h"

#include <QAbstractListModel>
#include <QStringList>

class QLineEdit;
class QListView;
class QPushButton;

namespace corvane {

// The lines of lstAlarm, oldest first, in the order raised; never sorted.
class AlarmListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    void append(const QString &line);
    void clear();
    const QStringList &lines() const { return m_lines; }

private:
    QStringList m_lines;
};

// The alarm list window: every alarm line since the list was created or cleared.
class FrmAlarmlist : public Screen
{
    Q_OBJECT
public:
    static constexpr char kFormName[] = "frmAlarmlist";
    explicit FrmAlarmlist(Station &station);

    void addLine(const QString &line);
    // The list's lines (empty while unloaded).
    QStringList lines() const;

protected:
    void build(QWidget *form) override;
    void released() override;

private:
    void cmdAlarmList_Click();
    void cmdHidefrmAlarmlist_Click();

    AlarmListModel *m_model = nullptr;
    QListView *lstAlarm = nullptr;
    QLineEdit *txtAlarm = nullptr;
};

} // namespace corvane
