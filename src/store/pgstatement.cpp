#include "store/pgstatement.h"

#include "store/dberror.h"
#include "store/pgcatalog.h"
#include "store/pgengine.h"
#include "store/schemafacts.h"

#include <QDate>
#include <QDateTime>
#include <charconv>
#include <cmath>
#include <libpq-fe.h>

namespace {

const char kHiddenColumn[] = "jet_rowid";

// Rows asked of the server at a time by a read in parts: a first page, then
// each page twice the last, up to a most. A window that wants a few hundred
// rows first gets them in one round trip without waiting for thousands (a
// report shows its first 500, and the row after them tells whether more
// follow); a whole read takes few pages. A page holds up to a number of
// values, not rows: a customer list comes some 6,000 rows at a time, a
// column of names ten times as many (fewer round trips, the same memory).
constexpr int kFirstRows = 512;
constexpr int kMostValues = 131072;

QByteArray firstWord(const QByteArray &sql)
{
    qsizetype i = 0;
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql.at(i))) || sql.at(i) == '('))
        ++i;
    qsizetype end = i;
    while (end < sql.size() && std::isalpha(static_cast<unsigned char>(sql.at(end))))
        ++end;
    return sql.mid(i, end - i).toLower();
}

} // namespace

PgStatement::PgStatement(PgEngine &engine, const QString &sql)
    : m_engine(engine), m_engineAlive(engine.alive()), m_sql(sql.toUtf8())
{
    if (QString(sql).remove(QLatin1Char(';')).trimmed().isEmpty())
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("空语句"));
    const QByteArray head = firstWord(m_sql);
    m_write = head == "insert" || head == "update" || head == "delete";
}

void PgStatement::ensureDescribed() const
{
    if (m_described)
        return;
    // Asked about its columns before it runs: parsed and described now (or taken from before).
    auto *self = const_cast<PgStatement *>(this);
    self->m_prepared = self->m_engine.prepared(m_sql);
    self->describe(m_prepared->description.get());
}

PgStatement::~PgStatement()
{
    endStream();
    if (*m_engineAlive)
        m_engine.release(m_prepared);
}

void PgStatement::describe(const pg_result *description)
{
    // Parameters not bound are null, as on SQLite.
    const size_t parameters = static_cast<size_t>(PQnparams(description));
    if (m_parameters.size() < parameters) {
        m_parameters.resize(parameters);
        m_null.resize(parameters, true);
    }
    m_described = true;
    m_visible.clear();
    m_kinds.clear();
    m_columns.clear();
    const QHash<QString, QString> longNames = m_engine.longNamesOf(QString::fromUtf8(m_sql));
    for (int i = 0; i < PQnfields(description); ++i) {
        const QString name = QString::fromUtf8(PQfname(description, i));
        if (name == QLatin1String(kHiddenColumn))
            continue;
        ColumnInfo info{longNames.value(name, name), {}, {}, {}};
        if (const PgColumnFacts *facts = m_engine.columnFacts(PQftable(description, i), PQftablecol(description, i))) {
            info.originTable = facts->table;
            info.originColumn = facts->column;
            info.declType = facts->declType;
            // A plain column is named as schema.sql spells it, as SQLite names it.
            if (name == facts->column) {
                const QString spelled = SchemaFacts::delivered().spelling(facts->table, facts->column);
                if (!spelled.isEmpty())
                    info.name = spelled;
            }
        }
        Kind kind = Kind::Text;
        switch (PQftype(description, i)) {
        case 16:
            kind = Kind::Boolean;
            break;
        case 20:
        case 21:
        case 23:
        case 26:
            kind = Kind::Integer;
            break;
        case 700:
        case 701:
            kind = Kind::Float;
            break;
        case 1700:
            kind = Kind::Numeric;
            break;
        case 17:
            kind = Kind::Blob;
            break;
        default:
            break;
        }
        m_visible.push_back(i);
        m_kinds.push_back(kind);
        m_columns.push_back(info);
    }
}

void PgStatement::bind(int index, const QVariant &value)
{
    if (index < 1)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("参数序号 %1 超出范围").arg(index));
    const size_t i = static_cast<size_t>(index - 1);
    if (i >= m_parameters.size()) {
        m_parameters.resize(i + 1);
        m_null.resize(i + 1, true);
    }
    m_null[i] = !textOf(value, m_parameters[i]);
}

bool PgStatement::textOf(const QVariant &value, QByteArray &text)
{
    text.clear();
    if (value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        text = value.toBool() ? "1" : "0";
        break;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        // As SQLite stores them: a NaN is no value at all.
        if (std::isnan(d))
            return false;
        if (std::isinf(d))
            text = d > 0 ? "Infinity" : "-Infinity";
        else
            text = QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
        break;
    }
    case QMetaType::QDate:
        text = value.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
        break;
    case QMetaType::QDateTime:
        text = value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        break;
    case QMetaType::QByteArray:
        text = value.toByteArray();
        break;
    default:
        text = value.toString().toUtf8();
    }
    if (text.contains('\0'))
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("文本中含有空字符 (NUL)，服务器数据库不能保存"));
    return true;
}

bool PgStatement::everyValueBound() const
{
    // The highest $n the text names: a value not bound is null, which only a prepared statement knows.
    int highest = 0;
    for (qsizetype i = m_sql.indexOf('$'); i >= 0; i = m_sql.indexOf('$', i + 1)) {
        int n = 0;
        for (qsizetype j = i + 1; j < m_sql.size() && std::isdigit(static_cast<unsigned char>(m_sql.at(j))); ++j)
            n = std::min(10 * n + (m_sql.at(j) - '0'), 100000);
        highest = std::max(highest, n);
    }
    return static_cast<size_t>(highest) <= m_parameters.size();
}

PgBound PgStatement::named(bool parseWithRun)
{
    // A statement with values to bind runs prepared (and stays prepared for the next run),
    // parsed and described in its first run's round trip; one without, unless already
    // prepared, is parsed, run and described in one round trip.
    if (!m_prepared && !m_parameters.empty()) {
        // A value not bound is null, which only a statement described before its run knows.
        if (!everyValueBound())
            m_prepared = m_engine.prepared(m_sql);
        else if (parseWithRun)
            m_prepared = m_engine.preparedOrNew(m_sql);
        else if (auto kept = m_engine.preparedIfKept(m_sql))
            m_prepared = std::move(kept);
    }
    // The session was opened again since: the statement is prepared anew (its columns are the same).
    if (m_prepared && m_prepared->generation != m_engine.sessions().generation())
        m_prepared = m_engine.prepared(m_sql);
    if (m_prepared && m_prepared->parsed && !m_described)
        describe(m_prepared->description.get());
    // Sent with another statement, a statement not yet parsed goes as its text with its values.
    if (m_prepared && (m_prepared->parsed || parseWithRun))
        return PgBound{m_prepared, m_parameters, m_null, {}};
    return PgBound{nullptr, m_parameters, m_null, m_sql};
}

void PgStatement::execute()
{
    m_engine.ensureConnected();
    const PgBound statement = named(true);
    m_result = m_engine.transaction().execute(m_engine.handle(),
                                              m_write ? PgTransaction::Sending::Write : PgTransaction::Sending::Read,
                                              &statement, [&statement](pg_conn *session) { return statement.send(session); });
    m_row = -1;
    m_changes = std::atoi(PQcmdTuples(m_result.get()));
    if (!m_described)
        describe(m_result.get());
}

PendingCount PgStatement::runLater()
{
    // Only a transaction's write can wait: whatever it changes is seen by the
    // transaction's next statement, which carries it, and by others at the commit.
    if (!m_write || !m_engine.inTransaction())
        return nullptr;
    m_changes = 0;
    return m_engine.transaction().sendLater(named(false));
}

bool PgStatement::runSoon(bool mayFail)
{
    // Inside a command it is one of the command's writes.
    if (m_engine.inTransaction())
        return runLater() != nullptr;
    m_changes = 0;
    // Not prepared: it does not depend on the session it was meant for.
    m_engine.transaction().sendSoon(PgBound{nullptr, m_parameters, m_null, m_sql}, mayFail);
    return true;
}

bool PgStatement::readAhead()
{
    if (m_write || m_streamed)
        return false;
    // Parsed and run with its values in one go: no round trip to prepare it first.
    m_engine.transaction().readAhead(PgBound{nullptr, m_parameters, m_null, m_sql});
    return true;
}

bool PgStatement::requireLater(const DbException &unmet)
{
    if (!m_engine.inTransaction())
        return false;
    // The server counts what the statement found or changed, and fails it when that is nothing.
    const QByteArray checked = m_write ? "WITH jet_changed AS (" + m_sql + " RETURNING 1) SELECT jet_require(count(*)) FROM jet_changed"
                                       : "SELECT jet_require(count(*)) FROM (" + m_sql + ") jet_rows";
    std::shared_ptr<PgPrepared> prepared = everyValueBound() ? m_engine.preparedIfKept(checked) : m_engine.prepared(checked);
    m_engine.transaction().sendLater(prepared ? PgBound{std::move(prepared), m_parameters, m_null, {}}
                                              : PgBound{nullptr, m_parameters, m_null, checked},
                                     unmet);
    return true;
}

bool PgStatement::stepStreamed()
{
    if (m_streamEnded)
        return false;
    if (!m_session) {
        // Inside a transaction the rows are read where its writes are seen, whole.
        if (m_write || m_engine.inTransaction() || !(m_session = m_engine.sessions().take(&m_owed))) {
            // Nothing to read in parts (or no second session to be had): read whole.
            m_streamed = false;
            return step();
        }
        // Without values to bind, the columns come with the first page, not a round trip before it.
        if (!m_parameters.empty() || m_sql.contains('$'))
            ensureDescribed();
        return openStream();
    }
    if (m_result && m_row + 1 < PQntuples(m_result.get())) {
        ++m_row;
        return true;
    }
    const int asked = std::min(2 * m_asked, std::max(kFirstRows, kMostValues / std::max(1, PQnfields(m_result.get()))));
    // A page shorter than asked was the last one.
    if (m_result && PQntuples(m_result.get()) < m_asked) {
        endStream();
        m_streamEnded = true;
        return false;
    }
    m_result.reset();
    m_engine.pipeline().count();
    PgResult page{PQexec(m_session, "FETCH " + QByteArray::number(asked) + " FROM torvane_rows")};
    checkStreamed(page.get());
    m_result = std::move(page);
    m_asked = asked;
    m_row = 0;
    if (PQntuples(m_result.get()) == 0) {
        endStream();
        m_streamEnded = true;
        return false;
    }
    return true;
}

bool PgStatement::openStream()
{
    const std::vector<const char *> values = PgBound::pointers(m_parameters, m_null);
    const QByteArray declare = "DECLARE torvane_rows NO SCROLL CURSOR FOR " + m_sql;
    const QByteArray fetch = "FETCH " + QByteArray::number(kFirstRows) + " FROM torvane_rows";
    // The reads the seat announced go first, each on its own (a failure of one
    // spoils nothing after it): a window's read in parts and its other reads, one round trip.
    std::vector<PgBound> announced = m_engine.transaction().takeAnnounced();
    // One snapshot for the whole read: a cursor in a read-only transaction of its own session,
    // begun, declared and its first page read in one round trip.
    std::vector<PgResult> answers;
    try {
        answers = m_engine.pipeline().run(
            m_session,
            [&] {
            for (const PgBound &read : announced)
                if (!PgBound{nullptr, read.values, read.null, read.sql()}.send(m_session)
                    || !m_engine.pipeline().sync(m_session))
                    return false;
            return PQsendQueryParams(m_session, "BEGIN READ ONLY", 0, nullptr, nullptr, nullptr, nullptr, 0)
                   && PQsendQueryParams(m_session, declare.constData(), static_cast<int>(values.size()), nullptr,
                                        values.data(), nullptr, nullptr, 0)
                   && PQsendQueryParams(m_session, fetch.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0);
            },
            std::exchange(m_owed, false) ? 1 : 0);
    } catch (...) {
        for (PgBound &read : announced)
            m_engine.transaction().keepAhead(std::move(read), {});
        endStream();
        throw;
    }
    for (size_t i = 0; i < announced.size(); ++i)
        m_engine.transaction().keepAhead(std::move(announced[i]),
                                         i < answers.size() ? std::move(answers[i]) : PgResult());
    answers.erase(answers.begin(), answers.begin() + static_cast<std::ptrdiff_t>(std::min(announced.size(), answers.size())));
    // The first failure tells what went wrong; else the third answer is the first page.
    PgResult page = PgPipeline::keepOne(answers, 2);
    checkStreamed(page.get());
    if (!m_described)
        describe(page.get());
    m_result = std::move(page);
    m_asked = kFirstRows;
    m_row = 0;
    if (PQntuples(m_result.get()) > 0)
        return true;
    endStream();
    m_streamEnded = true;
    return false;
}

void PgStatement::checkStreamed(const pg_result *result)
{
    if (result && PQresultStatus(result) == PGRES_TUPLES_OK)
        return;
    endStream();
    if (!result)
        throw DbException::connectionLost();
    m_engine.fail(result);
}

void PgStatement::endStream()
{
    if (!m_session)
        return;
    pg_conn *session = std::exchange(m_session, nullptr);
    if (!*m_engineAlive) {
        PQfinish(session);
        return;
    }
    // Taken and not used: it goes back as it came.
    if (std::exchange(m_owed, false)) {
        m_engine.sessions().giveBack(session, true);
        return;
    }
    // A read over, left half way or refused ends its transaction in a pipeline; the session serves
    // the next one, which takes that answer first (no waiting for it now).
    const bool owed = PQtransactionStatus(session) != PQTRANS_IDLE && PQenterPipelineMode(session)
                      && PQsendQueryParams(session, "ROLLBACK", 0, nullptr, nullptr, nullptr, nullptr, 0)
                      && PQpipelineSync(session);
    m_engine.sessions().giveBack(session, owed);
}

bool PgStatement::step()
{
    if (m_streamed)
        return stepStreamed();
    if (!m_result)
        execute();
    if (m_row < PQntuples(m_result.get()))
        ++m_row;
    return m_row < PQntuples(m_result.get());
}

void PgStatement::reset()
{
    endStream();
    m_streamEnded = false;
    m_result.reset();
    m_row = -1;
}

const char *PgStatement::raw(int i) const
{
    return PQgetvalue(m_result.get(), m_row, m_visible[static_cast<size_t>(i)]);
}

ValueType PgStatement::type(int i) const
{
    if (PQgetisnull(m_result.get(), m_row, m_visible[static_cast<size_t>(i)]))
        return ValueType::Null;
    switch (m_kinds[static_cast<size_t>(i)]) {
    case Kind::Integer:
    case Kind::Boolean:
        return ValueType::Integer;
    case Kind::Float:
        return ValueType::Float;
    case Kind::Numeric: {
        // A sum of whole numbers is a whole number, as on SQLite.
        const QByteArrayView text(raw(i));
        qint64 whole = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), whole);
        return ec == std::errc() && end == text.data() + text.size() ? ValueType::Integer : ValueType::Float;
    }
    case Kind::Blob:
        return ValueType::Blob;
    case Kind::Text:
        break;
    }
    return ValueType::Text;
}

qint64 PgStatement::integer(int i) const
{
    const char *text = raw(i);
    if (m_kinds[static_cast<size_t>(i)] == Kind::Boolean)
        return text[0] == 't' ? 1 : 0;
    qint64 whole = 0;
    const char *end = text + std::strlen(text);
    const auto [stop, ec] = std::from_chars(text, end, whole);
    if (ec == std::errc() && stop == end)
        return whole;
    return static_cast<qint64>(real(i));
}

double PgStatement::real(int i) const
{
    const char *text = raw(i);
    if (m_kinds[static_cast<size_t>(i)] == Kind::Boolean)
        return text[0] == 't' ? 1.0 : 0.0;
    double value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

QByteArrayView PgStatement::bytes(int i) const
{
    const int column = m_visible[static_cast<size_t>(i)];
    if (m_kinds[static_cast<size_t>(i)] == Kind::Blob) {
        size_t length = 0;
        unsigned char *data = PQunescapeBytea(reinterpret_cast<const unsigned char *>(raw(i)), &length);
        m_blob = QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(length));
        PQfreemem(data);
        return m_blob;
    }
    return QByteArrayView(raw(i), PQgetlength(m_result.get(), m_row, column));
}
