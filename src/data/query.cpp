#include "data/query.h"

#include "data/connection.h"
#include "data/error.h"
#include "data/values.h"

#include <QRegularExpression>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace korimo {
namespace {

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

Statement prepare(Connection& conn, const QString& sql)
{
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(conn.handle(), sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        conn.raise();
    return Statement(stmt);
}

FieldType typeFromDeclaration(const char* declared, int storage)
{
    if (declared != nullptr) {
        const QString d = QString::fromUtf8(declared).toUpper();
        if (d.contains(QLatin1String("DATE")) || d.contains(QLatin1String("TIME")))
            return FieldType::DateTime;
        if (d.contains(QLatin1String("INT")))
            return FieldType::Integer;
        if (d.contains(QLatin1String("REAL")) || d.contains(QLatin1String("FLOA"))
            || d.contains(QLatin1String("DOUB")))
            return FieldType::Float;
        return FieldType::Text;
    }
    // Expressions (aggregates) have no declared type: go by what the engine returned.
    switch (storage) {
    case SQLITE_INTEGER: return FieldType::Integer;
    case SQLITE_FLOAT: return FieldType::Float;
    default: return FieldType::Text;
    }
}

QVariant readColumn(sqlite3_stmt* stmt, int column, FieldType type)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER:
        if (type == FieldType::Float || type == FieldType::DateTime)
            return sqlite3_column_double(stmt, column);
        return static_cast<qint64>(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT: return sqlite3_column_double(stmt, column);
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                 sqlite3_column_bytes(stmt, column));
    }
}

void bindValue(Connection& conn, sqlite3_stmt* stmt, int index, const QVariant& v)
{
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull()) {
        rc = sqlite3_bind_null(stmt, index);
    } else if (v.typeId() == QMetaType::Double) {
        rc = sqlite3_bind_double(stmt, index, v.toDouble());
    } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
        rc = sqlite3_bind_int64(stmt, index, v.toLongLong());
    } else {
        const QByteArray bytes = v.toString().toUtf8();
        rc = sqlite3_bind_text(stmt, index, bytes.constData(), static_cast<int>(bytes.size()),
                               SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        conn.raise();
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const bool aNum = a.typeId() == QMetaType::Double || a.typeId() == QMetaType::LongLong
        || a.typeId() == QMetaType::Int;
    const bool bNum = b.typeId() == QMetaType::Double || b.typeId() == QMetaType::LongLong
        || b.typeId() == QMetaType::Int;
    if (aNum && bNum)
        return a.toDouble() == b.toDouble();
    return a.toString() == b.toString();
}

const QVariant& nullValue()
{
    static const QVariant null;
    return null;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Field

const QString& Field::name() const
{
    return query_->fieldName(column_);
}

FieldType Field::type() const
{
    return query_->fieldType(column_);
}

bool Field::isNull() const
{
    return query_->currentValue(column_).isNull();
}

qint64 Field::asInteger() const
{
    const QVariant& v = query_->currentValue(column_);
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
        return v.toLongLong();
    if (v.typeId() == QMetaType::Double)
        return static_cast<qint64>(std::nearbyint(v.toDouble()));
    qint64 parsed = 0;
    if (!parseInteger(v.toString(), &parsed))
        throw Error(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
    return parsed;
}

double Field::asFloat() const
{
    const QVariant& v = query_->currentValue(column_);
    if (v.isNull())
        return 0.0;
    if (v.typeId() == QMetaType::QString) {
        double parsed = 0.0;
        if (!parseFloat(v.toString(), &parsed))
            throw Error(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
        return parsed;
    }
    return v.toDouble();
}

QString Field::asText() const
{
    const QVariant& v = query_->currentValue(column_);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    switch (type()) {
    case FieldType::DateTime: return dateText(v.toDouble());
    case FieldType::Float: return floatText(v.toDouble());
    case FieldType::Integer:
        return v.typeId() == QMetaType::Double ? floatText(v.toDouble())
                                                : QString::number(v.toLongLong());
    case FieldType::Text: break;
    }
    return v.typeId() == QMetaType::Double ? floatText(v.toDouble()) : v.toString();
}

double Field::asDateTime() const
{
    const QVariant& v = query_->currentValue(column_);
    if (v.isNull())
        return 0.0;
    if (v.typeId() == QMetaType::QString) {
        double parsed = 0.0;
        if (!parseDate(v.toString(), &parsed))
            throw Error(QStringLiteral("'%1' is not a valid date and time").arg(v.toString()));
        return parsed;
    }
    return v.toDouble();
}

void Field::setAsInteger(qint64 value)
{
    if (type() == FieldType::Float || type() == FieldType::DateTime)
        query_->setValue(column_, static_cast<double>(value));
    else if (type() == FieldType::Text)
        query_->setValue(column_, QString::number(value));
    else
        query_->setValue(column_, value);
}

void Field::setAsFloat(double value)
{
    if (type() == FieldType::Integer)
        query_->setValue(column_, static_cast<qint64>(std::nearbyint(value)));
    else if (type() == FieldType::Text)
        query_->setValue(column_, floatText(value));
    else
        query_->setValue(column_, value);
}

void Field::setAsDateTime(double value)
{
    if (type() == FieldType::Text)
        query_->setValue(column_, dateText(value));
    else
        query_->setValue(column_, value);
}

void Field::setAsText(const QString& text)
{
    if (type() == FieldType::Text) {
        query_->setValue(column_, text);
        return;
    }
    // Empty text clears a number or date; anything else must parse, or the column keeps its value.
    if (text.trimmed().isEmpty()) {
        query_->setValue(column_, QVariant());
        return;
    }
    switch (type()) {
    case FieldType::Integer: {
        qint64 v = 0;
        if (!parseInteger(text, &v))
            throw Error(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, name()));
        query_->setValue(column_, v);
        return;
    }
    case FieldType::Float: {
        double v = 0.0;
        if (!parseFloat(text, &v))
            throw Error(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                            .arg(text, name()));
        query_->setValue(column_, v);
        return;
    }
    case FieldType::DateTime: {
        double v = 0.0;
        if (!parseDate(text, &v))
            throw Error(QStringLiteral("'%1' is not a valid date and time").arg(text));
        query_->setValue(column_, v);
        return;
    }
    case FieldType::Text: break;
    }
}

void Field::clear()
{
    query_->setValue(column_, QVariant());
}

// ---------------------------------------------------------------------------------------------
// Query

Query::Query(Connection& connection, QObject* parent) : QObject(parent), connection_(&connection)
{
    connection_->attach(this);
}

Query::~Query()
{
    if (connection_ != nullptr)
        connection_->detach(this);
}

void Query::setSql(const QString& sql)
{
    if (isOpen())
        close();
    sql_ = sql;
}

void Query::open()
{
    if (isOpen())
        return;
    if (connection_ == nullptr)
        throw Error(QStringLiteral("Missing Connection or ConnectionString"));
    connection_->connect();
    readResult();
    state_ = State::Browse;
    current_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    emit reset();
}

void Query::close()
{
    if (!isOpen())
        return;
    rows_.clear();
    names_.clear();
    types_.clear();
    changed_.clear();
    modified_ = false;
    state_ = State::Inactive;
    current_ = -1;
    bof_ = eof_ = true;
    emit reset();
}

void Query::closeFromConnection()
{
    close();
}

void Query::execSql()
{
    if (connection_ == nullptr)
        throw Error(QStringLiteral("Missing Connection or ConnectionString"));
    connection_->execute(sql_);
}

void Query::requery()
{
    ensureBrowsable();
    checkBrowseMode();
    readResult();
    current_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    emit reset();
}

void Query::readResult()
{
    // "select * from T ..." is the one updatable form: read each row's rowid with it so that
    // edits and deletes find their row again.
    static const QRegularExpression updatable(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+([A-Za-z_][A-Za-z0-9_]*)(\\s.*)?$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = updatable.match(sql_);
    QString text = mapDialect(sql_);
    QString table;
    if (m.hasMatch()) {
        table = m.captured(1);
        text = QStringLiteral("select rowid, * from ") + table + m.captured(2);
    }
    Statement stmt = prepare(*connection_, text);
    const int first = table.isEmpty() ? 0 : 1;
    const int columns = sqlite3_column_count(stmt.get());

    std::vector<QString> names;
    std::vector<const char*> declared;
    for (int c = first; c < columns; ++c) {
        names.push_back(QString::fromUtf8(sqlite3_column_name(stmt.get(), c)));
        declared.push_back(sqlite3_column_decltype(stmt.get(), c));
    }
    std::vector<FieldType> types(names.size(), FieldType::Text);
    bool typed = false;
    std::vector<Row> rows;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        if (!typed) {
            for (size_t i = 0; i < names.size(); ++i)
                types[i] = typeFromDeclaration(declared[i],
                                               sqlite3_column_type(stmt.get(), static_cast<int>(i) + first));
            typed = true;
        }
        Row row;
        row.rowid = first == 1 ? sqlite3_column_int64(stmt.get(), 0) : 0;
        row.values.reserve(names.size());
        for (size_t i = 0; i < names.size(); ++i)
            row.values.push_back(readColumn(stmt.get(), static_cast<int>(i) + first, types[i]));
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        connection_->raise();
    if (!typed)
        for (size_t i = 0; i < names.size(); ++i)
            types[i] = typeFromDeclaration(declared[i], SQLITE_NULL);

    table_ = table;
    names_ = std::move(names);
    types_ = std::move(types);
    rows_ = std::move(rows);
    changed_.assign(names_.size(), false);
    modified_ = false;
    state_ = State::Browse;
}

Query::Row Query::readRow(qint64 rowid)
{
    Statement stmt = prepare(*connection_,
                             QStringLiteral("select rowid, * from %1 where rowid = ?").arg(table_));
    sqlite3_bind_int64(stmt.get(), 1, rowid);
    Row row;
    row.rowid = rowid;
    const int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW) {
        for (size_t i = 0; i < names_.size(); ++i)
            row.values.push_back(readColumn(stmt.get(), static_cast<int>(i) + 1, types_[i]));
    } else if (rc == SQLITE_DONE) {
        row.values.assign(names_.size(), QVariant());
    } else {
        connection_->raise();
    }
    return row;
}

void Query::ensureBrowsable() const
{
    if (!isOpen())
        throw Error(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

int Query::recordCount() const
{
    if (!isOpen())
        return 0;
    const int n = static_cast<int>(rows_.size());
    return state_ == State::Insert ? n - 1 : n;
}

int Query::recNo() const
{
    if (!isOpen() || rows_.empty() || state_ == State::Insert)
        return -1;
    if (paint_row_ >= 0)
        return paint_row_ + 1;
    return current_ + 1;
}

void Query::first()
{
    ensureBrowsable();
    checkBrowseMode();
    current_ = rows_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = rows_.empty();
    emit currentChanged();
}

void Query::last()
{
    ensureBrowsable();
    checkBrowseMode();
    current_ = static_cast<int>(rows_.size()) - 1;
    eof_ = true;
    bof_ = rows_.empty();
    emit currentChanged();
}

void Query::next()
{
    ensureBrowsable();
    checkBrowseMode();
    bof_ = false;
    if (current_ + 1 < static_cast<int>(rows_.size())) {
        ++current_;
        eof_ = false;
        emit currentChanged();
    } else {
        eof_ = true;
    }
}

void Query::prior()
{
    ensureBrowsable();
    checkBrowseMode();
    eof_ = false;
    if (current_ > 0) {
        --current_;
        bof_ = false;
        emit currentChanged();
    } else {
        bof_ = true;
    }
}

void Query::moveTo(int index)
{
    ensureBrowsable();
    if (index == current_ && state_ == State::Browse)
        return;
    const int before = current_;
    const int count = static_cast<int>(rows_.size());
    checkBrowseMode();
    // Dropping an untouched new row shifts the rows after it.
    if (static_cast<int>(rows_.size()) < count && index > before)
        --index;
    if (rows_.empty())
        return;
    current_ = std::clamp(index, 0, static_cast<int>(rows_.size()) - 1);
    bof_ = current_ == 0;
    eof_ = current_ == static_cast<int>(rows_.size()) - 1;
    emit currentChanged();
}

void Query::append()
{
    ensureBrowsable();
    checkBrowseMode();
    Row row;
    row.values.assign(names_.size(), QVariant());
    rows_.push_back(std::move(row));
    current_ = static_cast<int>(rows_.size()) - 1;
    state_ = State::Insert;
    changed_.assign(names_.size(), false);
    modified_ = false;
    eof_ = bof_ = false;
    emit currentChanged();
    emit rowChanged();
}

void Query::insert()
{
    ensureBrowsable();
    checkBrowseMode();
    Row row;
    row.values.assign(names_.size(), QVariant());
    const int at = current_ < 0 ? 0 : current_;
    rows_.insert(rows_.begin() + at, std::move(row));
    current_ = at;
    state_ = State::Insert;
    changed_.assign(names_.size(), false);
    modified_ = false;
    eof_ = bof_ = false;
    emit currentChanged();
    emit rowChanged();
}

void Query::edit()
{
    ensureBrowsable();
    if (state_ == State::Edit || state_ == State::Insert)
        return;
    if (rows_.empty()) {
        append();
        return;
    }
    saved_row_ = rows_[static_cast<size_t>(current_)];
    changed_.assign(names_.size(), false);
    modified_ = false;
    state_ = State::Edit;
    emit rowChanged();
}

void Query::setValue(int column, const QVariant& v)
{
    ensureBrowsable();
    if (column < 0 || column >= fieldCount())
        throw Error(QStringLiteral("Field index out of range"));
    if (state_ == State::Browse)
        edit();
    rows_[static_cast<size_t>(current_)].values[static_cast<size_t>(column)] = v;
    changed_[static_cast<size_t>(column)] = true;
    modified_ = true;
    emit rowChanged();
}

const QVariant& Query::currentValue(int column) const
{
    if (!isOpen() || current_ < 0 || column < 0 || column >= fieldCount())
        return nullValue();
    return rows_[static_cast<size_t>(current_)].values[static_cast<size_t>(column)];
}

void Query::post()
{
    ensureBrowsable();
    if (state_ == State::Browse)
        return;
    if (!isUpdatable())
        throw Error(QStringLiteral("Cannot modify a read-only dataset"));
    if (state_ == State::Edit)
        postEdit();
    else
        postInsert();
    state_ = State::Browse;
    modified_ = false;
    changed_.assign(names_.size(), false);
    emit rowChanged();
}

void Query::postEdit()
{
    Row& row = rows_[static_cast<size_t>(current_)];
    QStringList sets;
    std::vector<int> columns;
    for (int c = 0; c < fieldCount(); ++c)
        if (changed_[static_cast<size_t>(c)]) {
            sets << names_[static_cast<size_t>(c)] + QStringLiteral(" = ?");
            columns.push_back(c);
        }
    if (!columns.empty()) {
        Statement stmt = prepare(*connection_, QStringLiteral("update %1 set %2 where rowid = ?")
                                                   .arg(table_, sets.join(QStringLiteral(", "))));
        int index = 1;
        for (int c : columns)
            bindValue(*connection_, stmt.get(), index++, row.values[static_cast<size_t>(c)]);
        sqlite3_bind_int64(stmt.get(), index, row.rowid);
        if (sqlite3_step(stmt.get()) != SQLITE_DONE)
            connection_->raise();
    }
    row = readRow(row.rowid);
}

void Query::postInsert()
{
    Row& row = rows_[static_cast<size_t>(current_)];
    QStringList columnsText;
    std::vector<int> columns;
    for (int c = 0; c < fieldCount(); ++c)
        if (changed_[static_cast<size_t>(c)]) {
            columnsText << names_[static_cast<size_t>(c)];
            columns.push_back(c);
        }
    QString sql;
    if (columns.empty()) {
        sql = QStringLiteral("insert into %1 default values").arg(table_);
    } else {
        QStringList marks;
        for (size_t i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        sql = QStringLiteral("insert into %1 (%2) values (%3)")
                  .arg(table_, columnsText.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }
    Statement stmt = prepare(*connection_, sql);
    int index = 1;
    for (int c : columns)
        bindValue(*connection_, stmt.get(), index++, row.values[static_cast<size_t>(c)]);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE)
        connection_->raise();
    // Read the stored row back: the engine fills in the id and the column defaults.
    row = readRow(sqlite3_last_insert_rowid(connection_->handle()));
}

void Query::cancel()
{
    if (state_ == State::Edit) {
        rows_[static_cast<size_t>(current_)] = saved_row_;
        state_ = State::Browse;
        modified_ = false;
        emit rowChanged();
    } else if (state_ == State::Insert) {
        rows_.erase(rows_.begin() + current_);
        state_ = State::Browse;
        modified_ = false;
        // The row that was current before an Insert moved to the new row's place; after an
        // append that place is past the end, and the last row becomes current.
        current_ = rows_.empty() ? -1 : std::min(current_, static_cast<int>(rows_.size()) - 1);
        bof_ = current_ <= 0;
        eof_ = current_ == static_cast<int>(rows_.size()) - 1;
        emit currentChanged();
        emit rowChanged();
    }
}

void Query::remove()
{
    ensureBrowsable();
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (rows_.empty())
        throw Error(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (!isUpdatable())
        throw Error(QStringLiteral("Cannot modify a read-only dataset"));
    if (state_ == State::Edit)
        cancel();
    Statement stmt =
        prepare(*connection_, QStringLiteral("delete from %1 where rowid = ?").arg(table_));
    sqlite3_bind_int64(stmt.get(), 1, rows_[static_cast<size_t>(current_)].rowid);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE)
        connection_->raise();
    rows_.erase(rows_.begin() + current_);
    current_ = rows_.empty() ? -1 : std::min(current_, static_cast<int>(rows_.size()) - 1);
    bof_ = current_ <= 0;
    eof_ = current_ == static_cast<int>(rows_.size()) - 1;
    emit currentChanged();
    emit rowChanged();
}

void Query::checkBrowseMode()
{
    if (state_ == State::Edit || state_ == State::Insert) {
        if (modified_)
            post();
        else
            cancel();
    }
}

bool Query::locate(const QString& keyFields, const QVariantList& values)
{
    ensureBrowsable();
    checkBrowseMode();
    const QStringList keys = keyFields.split(QLatin1Char(';'));
    if (keys.size() != values.size())
        throw Error(QStringLiteral("Locate: %1 key values for %2 key fields")
                        .arg(values.size())
                        .arg(keys.size()));
    std::vector<int> columns;
    for (const QString& k : keys)
        columns.push_back(fieldByName(k.trimmed()).column());
    for (size_t r = 0; r < rows_.size(); ++r) {
        bool match = true;
        for (size_t k = 0; k < columns.size() && match; ++k)
            match = sameValue(rows_[r].values[static_cast<size_t>(columns[k])], values[static_cast<qsizetype>(k)]);
        if (match) {
            current_ = static_cast<int>(r);
            bof_ = eof_ = false;
            emit currentChanged();
            return true;
        }
    }
    return false;
}

int Query::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < names_.size(); ++i)
        if (names_[i].compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

Field Query::fieldByName(const QString& name)
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw Error(QStringLiteral("%1: Field '%2' not found").arg(objectName(), name));
    return Field(this, i);
}

QVariant Query::value(int row, int column) const
{
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= fieldCount())
        return {};
    return rows_[static_cast<size_t>(row)].values[static_cast<size_t>(column)];
}

QString Query::displayText(int row, int column) const
{
    const QVariant v = value(row, column);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    switch (fieldType(column)) {
    case FieldType::DateTime: return dateText(v.toDouble());
    case FieldType::Float: return floatText(v.toDouble());
    default:
        return v.typeId() == QMetaType::Double ? floatText(v.toDouble())
                                                : QString::number(v.toLongLong());
    }
}

} // namespace korimo
