#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace korimo {

class Connection;
class Query;

enum class FieldType { Integer, Float, Text, DateTime };

// One column of the current row of a query, as read and written by name.
class Field {
public:
    Field(Query* query, int column) : query_(query), column_(column) {}

    const QString& name() const;
    int column() const { return column_; }
    FieldType type() const;
    bool isNull() const;

    // A null reads as 0, 0.0, "" and 0.0.
    qint64 asInteger() const;
    double asFloat() const;
    QString asText() const;    // integer in decimal, float shortest, date-time as short date
    double asDateTime() const;

    // Writing puts a browsing query into the edit state first.
    void setAsInteger(qint64 value);
    void setAsFloat(double value);
    void setAsDateTime(double value);
    // Parses by the column's type; empty text stores null. A text that does not parse raises
    // "'%s' is not a valid integer value for field '%s'", "... floating point value ..." or
    // "'%s' is not a valid date and time", and the column keeps its value.
    void setAsText(const QString& text);
    void clear();

private:
    Query* query_;
    int column_;
};

// A query on the connection. Opening reads the whole result into a buffer (each row with its
// rowid). A "select * from T ..." result is updatable: posting writes the current row at once and
// reads it back, so ids assigned by the engine can be read right after the post.
class Query : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Query(Connection& connection, QObject* parent = nullptr);
    ~Query() override;

    Connection& connection() const { return *connection_; }

    void setSql(const QString& sql);
    const QString& sql() const { return sql_; }

    // Opening while the connection is down connects first.
    void open();
    // Drops the result and any pending change.
    void close();
    bool isOpen() const { return state_ != State::Inactive; }
    // Runs an action statement (connects first when needed).
    void execSql();
    // Posts a pending change, runs the same statement again and goes to the first row.
    void requery();

    State state() const { return state_; }
    bool isModified() const { return modified_; }
    bool isUpdatable() const { return !table_.isEmpty(); }
    const QString& tableName() const { return table_; }

    // Rows and cursor. recNo() is 1-based, -1 while empty or inserting.
    int recordCount() const;
    int recNo() const;
    int currentIndex() const { return current_; } // 0-based row in the buffer, -1 when empty
    // Rows shown by a grid: the stored ones plus a new row being inserted.
    int rowCount() const { return static_cast<int>(rows_.size()); }
    bool isEmpty() const { return rows_.empty(); }
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }

    // Moves post a pending change first (an untouched new row is dropped instead).
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int index); // 0-based

    // Dataset states.
    void append();  // new row at the end, insert state
    void insert();  // new row ahead of the current one, insert state
    void edit();    // no change while editing or inserting; on an empty result starts a new row
    void post();
    void cancel();
    void remove();  // deletes the current row; a new row not yet posted is dropped instead
    // Posts a changed row, drops an untouched new row; used before moves and by the grids.
    void checkBrowseMode();

    // Locate by "f1;f2" with one value per field, exact match. True with that row current.
    bool locate(const QString& keyFields, const QVariantList& values);

    // Fields of the current row.
    int fieldCount() const { return static_cast<int>(names_.size()); }
    int fieldIndex(const QString& name) const; // -1 when absent (case-insensitive)
    Field field(int column) { return Field(this, column); }
    Field fieldByName(const QString& name); // raises "Field '%s' not found" when absent
    const QString& fieldName(int column) const { return names_[static_cast<size_t>(column)]; }
    FieldType fieldType(int column) const { return types_[static_cast<size_t>(column)]; }

    // Any row, for painting a grid without moving the cursor. Row index is 0-based; the current
    // row shows its pending changes.
    QVariant value(int row, int column) const;
    QString displayText(int row, int column) const;

    // While a grid paints a row, recNo() answers that row's number (as the classic grids do).
    class PaintScope {
    public:
        PaintScope(const Query& q, int row) : q_(q), saved_(q.paint_row_) { q.paint_row_ = row; }
        ~PaintScope() { q_.paint_row_ = saved_; }
        PaintScope(const PaintScope&) = delete;
        PaintScope& operator=(const PaintScope&) = delete;

    private:
        const Query& q_;
        int saved_;
    };

signals:
    // The result was opened, closed or read again: everything may have changed.
    void reset();
    // The current row moved (also when a row was inserted or removed).
    void currentChanged();
    // A value of the current row changed, or its state did.
    void rowChanged();

private:
    friend class Field;
    friend class Connection;

    struct Row {
        qint64 rowid = 0;
        std::vector<QVariant> values;
    };

    void ensureBrowsable() const;
    void setValue(int column, const QVariant& v);
    const QVariant& currentValue(int column) const;
    void readResult(); // runs sql_ and fills the buffer
    Row readRow(qint64 rowid);
    void postEdit();
    void postInsert();
    void detachFromConnection() { connection_ = nullptr; }
    void closeFromConnection();

    Connection* connection_;
    QString sql_;
    QString table_;
    State state_ = State::Inactive;
    std::vector<QString> names_;
    std::vector<FieldType> types_;
    std::vector<Row> rows_;
    int current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    // The current row as it was before edit(), for cancel().
    Row saved_row_;
    std::vector<bool> changed_;
    bool modified_ = false;
    mutable int paint_row_ = -1;
};

} // namespace korimo
