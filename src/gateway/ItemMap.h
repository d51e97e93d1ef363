#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <variant>

namespace corvane::gateway {

enum class Table { Coil, Discrete, Holding, Input };
enum class Type { Bit, U16, S16, Bcd16, U32, S32, Bcd32, F32, RegisterBit };

// One row of the map: where an item lives in the PLC and how its value is coded.
struct MapRow
{
    QString item;
    Table table = Table::Coil;
    int address = 0;
    Type type = Type::Bit;
    int bit = 0; // RegisterBit: 0-15
    bool writable = false;
    int line = 0; // in the map file, for messages
};

struct ItemMap
{
    QList<MapRow> rows;
    // 32-bit values: the high word in the lower address (the default is low word first).
    bool highWordFirst = false;
    // A bitN write as read, change, write (functions 3 and 6) for a PLC without
    // function 22; it loses a change the PLC makes in between.
    bool readModifyWriteBits = false;

    const MapRow *find(const QString &item) const;
};

inline bool isBitTable(Table t)
{
    return t == Table::Coil || t == Table::Discrete;
}
// Registers or bits a row occupies.
int widthOf(Type type);
QString tableName(Table t);
QString typeName(const MapRow &row);

// The longest item a map may name: a topic level a station shows and logs.
constexpr int kMaxItemLength = 64;

// The map's text checked row by row; the first bad row gives "FILE:LINE: what is wrong".
std::variant<ItemMap, QString> parseItemMap(const QString &text, const QString &fileName);
std::variant<ItemMap, QString> readItemMap(const QString &path);

} // namespace corvane::gateway
