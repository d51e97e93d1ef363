#include "FrmAlarmlist.h"

#include "Controls.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

int AlarmListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant AlarmListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_lines.size())
        return {};
    return m_lines.at(index.row());
}

void AlarmListModel::append(const QString &line)
{
    const int row = int(m_lines.size());
    beginInsertRows({}, row, row);
    m_lines.append(line);
    endInsertRows();
}

void AlarmListModel::clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

FrmAlarmlist::FrmAlarmlist(Station &station)
    : Screen(station, QString::fromLatin1(kFormName), QStringLiteral("Corvane Alarms"))
{
    setClientSizeTwips(9000, 4800);
}

void FrmAlarmlist::build(QWidget *form)
{
    auto *clear = makeButton(form, QStringLiteral("cmdAlarmList"), QStringLiteral("clear list"));
    auto *hide = makeButton(form, QStringLiteral("cmdHidefrmAlarmlist"), QStringLiteral("Hide"));
    m_model = new AlarmListModel(form);
    lstAlarm = new QListView(form);
    lstAlarm->setObjectName(QStringLiteral("lstAlarm"));
    lstAlarm->setModel(m_model);
    lstAlarm->setUniformItemSizes(true); // keeps a million lines cheap to lay out
    lstAlarm->setEditTriggers(QAbstractItemView::NoEditTriggers);
    txtAlarm = new QLineEdit(form);
    txtAlarm->setObjectName(QStringLiteral("txtAlarm"));
    txtAlarm->setReadOnly(true);

    auto *top = new QHBoxLayout;
    top->addWidget(clear);
    top->addStretch();
    top->addWidget(hide);
    auto *layout = new QVBoxLayout(form);
    layout->addLayout(top);
    layout->addWidget(lstAlarm, 1);
    layout->addWidget(txtAlarm);

    connect(clear, &QPushButton::clicked, this, &FrmAlarmlist::cmdAlarmList_Click);
    connect(hide, &QPushButton::clicked, this, &FrmAlarmlist::cmdHidefrmAlarmlist_Click);
}

void FrmAlarmlist::released()
{
    m_model = nullptr;
    lstAlarm = nullptr;
    txtAlarm = nullptr;
}

void FrmAlarmlist::addLine(const QString &line)
{
    if (!m_model)
        return;
    m_model->append(line);
    txtAlarm->setText(line);
}

QStringList FrmAlarmlist::lines() const
{
    return m_model ? m_model->lines() : QStringList();
}

void FrmAlarmlist::cmdAlarmList_Click()
{
    m_model->clear();
}

void FrmAlarmlist::cmdHidefrmAlarmlist_Click()
{
    hide();
}

} // namespace corvane
