#include "station/FrmAlarmlist.h"

#include "ui/Controls.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace corvane {

int AlarmListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant AlarmListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return line(index.row());
}

QString AlarmListModel::line(int row) const
{
    const Entry &e = m_rows[size_t(row)];
    return QString::fromUtf8(m_blocks[e.block].constData() + e.offset, e.size);
}

QStringList AlarmListModel::lines() const
{
    QStringList out;
    out.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        out << line(row);
    return out;
}

void AlarmListModel::append(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (m_blocks.empty() || m_blocks.back().size() + bytes.size() > m_blocks.back().capacity()) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(qMax(kBlockBytes, bytes.size()));
    }
    QByteArray &block = m_blocks.back();
    const Entry entry{quint32(m_blocks.size() - 1), quint32(block.size()), quint32(bytes.size())};
    const int row = rowCount();
    beginInsertRows({}, row, row);
    block.append(bytes);
    m_rows.push_back(entry);
    endInsertRows();
}

void AlarmListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_blocks.clear();
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
    // A one-column table rather than a list view: with fixed row heights it places a
    // new row without laying out every row before it (a list view re-lays out the
    // whole list on each insert, 25 ms a line at a million lines).
    auto *lstAlarm = new QTableView(form);
    lstAlarm->setObjectName(QStringLiteral("lstAlarm"));
    lstAlarm->setModel(new AlarmListModel(form));
    lstAlarm->horizontalHeader()->hide();
    lstAlarm->horizontalHeader()->setStretchLastSection(true);
    lstAlarm->verticalHeader()->hide();
    lstAlarm->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstAlarm->verticalHeader()->setDefaultSectionSize(lstAlarm->fontMetrics().height() + 2);
    lstAlarm->setShowGrid(false);
    lstAlarm->setWordWrap(false);
    lstAlarm->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstAlarm->setSelectionMode(QAbstractItemView::SingleSelection);
    lstAlarm->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstAlarm->installEventFilter(this);
    auto *txtAlarm = new QLineEdit(form);
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
    m_followPending = false; // its call went with the window
    m_followOnShow = false;
}

// By name, on every line of a flood: only the window's own children are searched.
QTableView *FrmAlarmlist::view() const
{
    const QWidget *w = window();
    return w ? w->findChild<QTableView *>(QStringLiteral("lstAlarm"), Qt::FindDirectChildrenOnly) : nullptr;
}

AlarmListModel *FrmAlarmlist::model() const
{
    const QTableView *v = view();
    return v ? static_cast<AlarmListModel *>(v->model()) : nullptr;
}

void FrmAlarmlist::takeLine(const QString &line)
{
    load();
    addLine(line);
}

void FrmAlarmlist::addLine(const QString &line)
{
    QTableView *lstAlarm = view();
    if (!lstAlarm)
        return;
    // The view follows new lines while the operator is at the end of the list, and
    // stays put while they read older lines further up. A hidden list shows the
    // newest lines when it is shown again.
    const QScrollBar *bar = lstAlarm->verticalScrollBar();
    const bool visible = lstAlarm->isVisible();
    const bool follow = visible && bar->value() == bar->maximum();
    model()->append(line);
    m_followOnShow = m_followOnShow || !visible;
    if (follow)
        followEnd();
    window()->findChild<QLineEdit *>(QStringLiteral("txtAlarm"), Qt::FindDirectChildrenOnly)->setText(line);
}

bool FrmAlarmlist::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched == view() && m_followOnShow) {
        m_followOnShow = false;
        followEnd();
    }
    return Screen::eventFilter(watched, event);
}

void FrmAlarmlist::followEnd()
{
    // Scrolling lays out every row, so a burst of lines scrolls once, after it.
    if (m_followPending)
        return;
    m_followPending = true;
    QMetaObject::invokeMethod(
            this, // dropped with this screen object
            [this] {
                m_followPending = false;
                if (QTableView *lstAlarm = view()) // the window may have been unloaded meanwhile
                    lstAlarm->scrollToBottom();
            },
            Qt::QueuedConnection);
}

QStringList FrmAlarmlist::lines() const
{
    const AlarmListModel *m = model();
    return m ? m->lines() : QStringList();
}

int FrmAlarmlist::lineCount() const
{
    const AlarmListModel *m = model();
    return m ? m->rowCount() : 0;
}

void FrmAlarmlist::cmdAlarmList_Click()
{
    model()->clear();
}

void FrmAlarmlist::cmdHidefrmAlarmlist_Click()
{
    hide();
}

} // namespace corvane
