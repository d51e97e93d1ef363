#pragma once

#include "station/Screen.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QStringList>
#include <deque>
#include <vector>

class QTableView;
class QPushButton;

namespace corvane {

// The lines of lstAlarm, oldest first, in the order raised; never sorted.
// A run may collect a million lines, so they are kept packed: UTF-8 text in large
// blocks that never move, and one small index entry per line. Appending costs the
// bytes of the line and nothing more; the view asks only for the lines it shows.
class AlarmListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    void append(const QString &line);
    void clear();
    QString line(int row) const;
    QStringList lines() const;

private:
    static constexpr qsizetype kBlockBytes = 1 << 20;
    struct Entry
    {
        quint32 block;
        quint32 offset;
        quint32 size;
    };
    std::vector<QByteArray> m_blocks; // reserved once, so appends never move the text
    std::deque<Entry> m_rows;         // grows without copying what it holds
};

// The alarm list window: every alarm line since the list was created or cleared.
class FrmAlarmlist : public Screen
{
    Q_OBJECT
public:
    static constexpr char kFormName[] = "frmAlarmlist";
    explicit FrmAlarmlist(Station &station);

    void addLine(const QString &line);
    // An alarm line as the logger raises it: the list is loaded hidden when it is not.
    void takeLine(const QString &line);
    // The list's lines (empty while unloaded).
    QStringList lines() const;
    int lineCount() const;

protected:
    void build(QWidget *form) override;
    void released() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void cmdAlarmList_Click();
    void cmdHidefrmAlarmlist_Click();
    void followEnd();
    QTableView *view() const;
    AlarmListModel *model() const;

    bool m_followPending = false;
    bool m_followOnShow = false;
};

} // namespace corvane
