#include "TrendDialogs.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <limits>

namespace corvane::history {

namespace {

// A list to pick one entry from, narrowed by what is typed above it; the entry's
// data is what is returned.
std::optional<QString> pickFromList(QWidget *parent, const QString &title, const QList<QListWidgetItem *> &entries)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto *filter = new QLineEdit(&dialog);
    filter->setObjectName(QStringLiteral("txtFilter"));
    filter->setPlaceholderText(QStringLiteral("Search"));
    filter->setClearButtonEnabled(true);
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstChoices"));
    for (QListWidgetItem *e : entries)
        list->addItem(e);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(filter);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    dialog.resize(520, 420);
    QObject::connect(filter, &QLineEdit::textChanged, list, [list](const QString &text) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setHidden(!list->item(i)->text().contains(text, Qt::CaseInsensitive));
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || !list->currentItem() || list->currentItem()->isHidden())
        return std::nullopt;
    return list->currentItem()->data(Qt::UserRole).toString();
}

} // namespace

std::optional<QString> chooseItem(QWidget *parent, const QStringList &items,
                                  const std::function<QString(const QString &)> &titleOf)
{
    QList<QListWidgetItem *> entries;
    for (const QString &item : items) {
        auto *e = new QListWidgetItem(titleOf(item));
        e->setData(Qt::UserRole, item);
        entries << e;
    }
    return pickFromList(parent, QStringLiteral("Add a pen"), entries);
}

std::optional<std::pair<qint64, qint64>> chooseRange(QWidget *parent, qint64 fromMs, qint64 toMs)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("From/To"));
    const auto edit = [&dialog](qint64 ms) {
        auto *e = new QDateTimeEdit(QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime), &dialog);
        e->setDisplayFormat(QStringLiteral("MM/dd/yyyy HH:mm:ss t"));
        e->setCalendarPopup(true);
        return e;
    };
    QDateTimeEdit *from = edit(fromMs), *to = edit(toMs);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("From"), from);
    form->addRow(QStringLiteral("To"), to);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const qint64 a = from->dateTime().toMSecsSinceEpoch(), b = to->dateTime().toMSecsSinceEpoch();
    if (b <= a)
        return std::nullopt;
    return std::pair{a, b};
}

std::optional<qint64> chooseAlarm(QWidget *parent, const std::vector<AlarmRecord> &alarms)
{
    QList<QListWidgetItem *> entries;
    for (auto it = alarms.rbegin(); it != alarms.rend(); ++it) {
        auto *e = new QListWidgetItem(it->text);
        e->setData(Qt::UserRole, QString::number(it->tMs));
        entries << e;
    }
    const auto chosen = pickFromList(parent, QStringLiteral("Go to alarm"), entries);
    if (!chosen)
        return std::nullopt;
    return chosen->toLongLong();
}

std::optional<std::pair<double, double>> chooseScale(QWidget *parent, const QString &title, double low, double high)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Scale of %1").arg(title));
    const auto box = [&dialog](double v) {
        auto *b = new QDoubleSpinBox(&dialog);
        b->setDecimals(3);
        b->setRange(-std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
        b->setValue(v);
        return b;
    };
    QDoubleSpinBox *lowBox = box(low), *highBox = box(high);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto *form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("Top"), highBox);
    form->addRow(QStringLiteral("Bottom"), lowBox);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted || highBox->value() <= lowBox->value())
        return std::nullopt;
    return std::pair{lowBox->value(), highBox->value()};
}

} // namespace corvane::history
