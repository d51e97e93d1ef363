#include "ItemMap.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <QSet>

#include <map>

namespace corvane::gateway {

namespace {

constexpr int kAddressSpace = 65536;

std::optional<Table> parseTable(QStringView text)
{
    if (text == u"coil")
        return Table::Coil;
    if (text == u"discrete")
        return Table::Discrete;
    if (text == u"holding")
        return Table::Holding;
    if (text == u"input")
        return Table::Input;
    return std::nullopt;
}

// The type and, for bitN, its bit.
std::optional<std::pair<Type, int>> parseType(const QString &text)
{
    static const QList<std::pair<QString, Type>> names{
            {QStringLiteral("bit"), Type::Bit},     {QStringLiteral("u16"), Type::U16},
            {QStringLiteral("s16"), Type::S16},     {QStringLiteral("bcd16"), Type::Bcd16},
            {QStringLiteral("u32"), Type::U32},     {QStringLiteral("s32"), Type::S32},
            {QStringLiteral("bcd32"), Type::Bcd32}, {QStringLiteral("f32"), Type::F32}};
    for (const auto &[name, type] : names) {
        if (text == name)
            return std::pair{type, 0};
    }
    static const QRegularExpression bitN(QStringLiteral("^bit(1[0-5]|[0-9])$"));
    if (const auto m = bitN.match(text); m.hasMatch())
        return std::pair{Type::RegisterBit, m.captured(1).toInt()};
    return std::nullopt;
}

// A topic level the station can subscribe to and write through.
bool isUsableItem(const QString &item)
{
    static const QRegularExpression bad(QStringLiteral("[/+#\\s\\x00-\\x1f]"));
    return !item.isEmpty() && !item.startsWith(u'$') && !bad.match(item).hasMatch() && item != u"Status";
}

} // namespace

const MapRow *ItemMap::find(const QString &item) const
{
    for (const MapRow &row : rows) {
        if (row.item == item)
            return &row;
    }
    return nullptr;
}

int widthOf(Type type)
{
    switch (type) {
    case Type::U32:
    case Type::S32:
    case Type::Bcd32:
    case Type::F32:
        return 2;
    default:
        return 1;
    }
}

QString tableName(Table t)
{
    switch (t) {
    case Table::Coil:
        return QStringLiteral("coil");
    case Table::Discrete:
        return QStringLiteral("discrete");
    case Table::Holding:
        return QStringLiteral("holding");
    case Table::Input:
        return QStringLiteral("input");
    }
    return {};
}

QString typeName(const MapRow &row)
{
    switch (row.type) {
    case Type::Bit:
        return QStringLiteral("bit");
    case Type::U16:
        return QStringLiteral("u16");
    case Type::S16:
        return QStringLiteral("s16");
    case Type::Bcd16:
        return QStringLiteral("bcd16");
    case Type::U32:
        return QStringLiteral("u32");
    case Type::S32:
        return QStringLiteral("s32");
    case Type::Bcd32:
        return QStringLiteral("bcd32");
    case Type::F32:
        return QStringLiteral("f32");
    case Type::RegisterBit:
        return QStringLiteral("bit%1").arg(row.bit);
    }
    return {};
}

std::variant<ItemMap, QString> parseItemMap(const QString &text, const QString &fileName)
{
    ItemMap map;
    bool headerSeen = false;
    QSet<QString> items;
    std::map<int, std::pair<int, int>> ranges[4]; // by table: first address -> end, row
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const auto fail
                = [&](const QString &what) { return QStringLiteral("%1:%2: %3").arg(fileName).arg(lineNo).arg(what); };
        QString line = lines.at(i);
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'#')) {
            // Only the header comment chooses the word order, so a note further down
            // cannot silently change every 32-bit value.
            if (!headerSeen && trimmed.contains(QLatin1String("words:"))) {
                const QString order = trimmed.section(QLatin1String("words:"), 1).trimmed();
                if (order == u"high-first")
                    map.highWordFirst = true;
                else if (order != u"low-first")
                    return fail(QStringLiteral("word order '%1' is neither high-first nor low-first").arg(order));
            }
            if (!headerSeen && trimmed.contains(QLatin1String("bit-writes:"))) {
                const QString way = trimmed.section(QLatin1String("bit-writes:"), 1).trimmed();
                if (way == u"read-modify-write")
                    map.readModifyWriteBits = true;
                else if (way != u"mask")
                    return fail(QStringLiteral("bit-writes '%1' is neither mask nor read-modify-write").arg(way));
            }
            continue;
        }
        // A spreadsheet may leave a row of empty cells.
        if (trimmed.isEmpty() || QString(trimmed).remove(u',').trimmed().isEmpty())
            continue;
        QStringList cells = line.split(u',');
        for (QString &c : cells) {
            c = c.trimmed();
            // A spreadsheet quotes a cell as it likes; the quotes are not part of it.
            if (c.size() >= 2 && c.startsWith(u'"') && c.endsWith(u'"'))
                c = c.mid(1, c.size() - 2).trimmed();
        }
        if (!headerSeen) {
            if (cells
                != QStringList{QStringLiteral("item"), QStringLiteral("table"), QStringLiteral("address"),
                               QStringLiteral("type"), QStringLiteral("write")})
                return fail(QStringLiteral("the header must be item,table,address,type,write"));
            headerSeen = true;
            continue;
        }
        if (cells.size() != 5)
            return fail(QStringLiteral("%1 cells, not 5").arg(cells.size()));
        MapRow row;
        row.line = lineNo;
        row.item = cells[0];
        if (row.item.size() > kMaxItemLength)
            return fail(QStringLiteral("item of %1 characters, more than %2").arg(row.item.size()).arg(kMaxItemLength));
        if (!isUsableItem(row.item))
            return fail(QStringLiteral("'%1' cannot be an item").arg(row.item));
        if (items.contains(row.item))
            return fail(QStringLiteral("duplicate item %1").arg(row.item));
        const auto table = parseTable(cells[1]);
        if (!table)
            return fail(QStringLiteral("unknown table '%1'").arg(cells[1]));
        row.table = *table;
        bool ok = false;
        row.address = cells[2].toInt(&ok);
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        if (!ok || !digits.match(cells[2]).hasMatch() || row.address >= kAddressSpace)
            return fail(QStringLiteral("address '%1' is not 0-65535").arg(cells[2]));
        const auto type = parseType(cells[3]);
        if (!type)
            return fail(QStringLiteral("unknown type '%1'").arg(cells[3]));
        row.type = type->first;
        row.bit = type->second;
        if ((row.type == Type::Bit) != isBitTable(row.table))
            return fail(QStringLiteral("type %1 is not allowed for table %2").arg(cells[3], cells[1]));
        if (row.address + widthOf(row.type) > kAddressSpace)
            return fail(QStringLiteral("%1 at %2 crosses the end of the address space").arg(cells[3]).arg(row.address));
        if (cells[4] == u"yes")
            row.writable = true;
        else if (!cells[4].isEmpty())
            return fail(QStringLiteral("write must be yes or empty, not '%1'").arg(cells[4]));
        if (row.writable && (row.table == Table::Discrete || row.table == Table::Input))
            return fail(QStringLiteral("table %1 cannot be written").arg(cells[1]));
        // Rows sharing an address must cover the same ones (spellings of one item, or
        // the bits of one register): a u32 at 112 beside a u16 at 113 is a typo that
        // would read one register as two values. The ranges taken so far never overlap,
        // so the neighbours on either side are all there is to check.
        const int end = row.address + widthOf(row.type);
        auto &taken = ranges[int(row.table)];
        const MapRow *clash = nullptr;
        if (auto next = taken.upper_bound(row.address); next != taken.end() && next->first < end)
            clash = &map.rows[next->second.second];
        if (auto at = taken.upper_bound(row.address); at != taken.begin()) {
            --at;
            const bool same = at->first == row.address && at->second.first == end;
            if (!same && at->second.first > row.address)
                clash = &map.rows[at->second.second];
        }
        if (clash)
            return fail(QStringLiteral("%1 at %2 overlaps %3 of line %4")
                                .arg(cells[3])
                                .arg(row.address)
                                .arg(clash->item)
                                .arg(clash->line));
        taken.try_emplace(row.address, end, int(map.rows.size()));
        items.insert(row.item);
        map.rows.append(row);
    }
    if (!headerSeen)
        return QStringLiteral("%1: no header line item,table,address,type,write").arg(fileName);
    return map;
}

std::variant<ItemMap, QString> readItemMap(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return parseItemMap(QString::fromUtf8(file.readAll()), path);
}

} // namespace corvane::gateway
