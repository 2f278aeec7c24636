#include "schema.h"

#include "columns.h"
#include "value_limits.h"

#include <QStringList>
#include <functional>
#include <stdexcept>

namespace {

// The few places where SQLite and PostgreSQL differ.
struct Ddl {
    Dialect dialect;

    QString digits(const QString &column, int count) const {
        if (dialect == Dialect::PostgreSQL) return QStringLiteral("%1 ~ '^[0-9]{%2}$'").arg(column).arg(count);
        return QStringLiteral("LENGTH(%1) = %2 AND %1 NOT GLOB '*[^0-9]*'").arg(column).arg(count);
    }
    QString timestamp(const QString &column) const {
        if (dialect == Dialect::PostgreSQL) return QStringLiteral("%1 TIMESTAMP(0) NOT NULL").arg(column);
        return QStringLiteral("%1 TEXT NOT NULL CHECK (%1 GLOB "
                              "'[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]')")
            .arg(column);
    }
    QString month(const QString &column) const {
        if (dialect == Dialect::PostgreSQL) return QStringLiteral("%1 ~ '^[0-9]{4}-(0[1-9]|1[0-2])$'").arg(column);
        return QStringLiteral("%1 GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]' AND CAST(SUBSTR(%1, 6, 2) AS INTEGER) BETWEEN 1 AND 12")
            .arg(column);
    }
    // A band table as the vocabulary declares it: its price table, first and last count, percentage.
    QString band(const Vocabulary::Table &t, int maxLast) const {
        const QString first = t.columns[1].field(), last = t.columns[2].field();
        return QStringLiteral(
                   "CREATE TABLE %1 ("
                   " CDPRECOPROP VARCHAR(10) NOT NULL REFERENCES PRECOPROPOSTA (CDPRECOPROP) ON DELETE CASCADE,"
                   " %2 VARCHAR(5) NOT NULL CHECK (%5),"
                   " %3 VARCHAR(5) NOT NULL CHECK (%6),"
                   " %4 DOUBLE PRECISION NOT NULL CHECK (%4 >= %8 AND %4 <= %9),"
                   " PRIMARY KEY (CDPRECOPROP, %2),"
                   " CHECK (CAST(%2 AS INTEGER) >= 1),"
                   " CHECK (CAST(%3 AS INTEGER) <= %7),"
                   " CHECK (CAST(%2 AS INTEGER) <= CAST(%3 AS INTEGER)))")
            .arg(t.tableName(), first, last, t.columns[3].field(), digits(first, t.columns[1].size), digits(last, t.columns[2].size))
            .arg(maxLast)
            .arg(Limits::MinPercent)
            .arg(Limits::MaxPercent);
    }
};

// Version 1: every table of the remote data module.
QStringList version1(const Ddl &d) {
    return {
        QStringLiteral("CREATE TABLE OPERADOR ("
                       " CDOPERADOR VARCHAR(12) NOT NULL PRIMARY KEY CHECK (LENGTH(CDOPERADOR) = 12),"
                       " NMOPERADOR VARCHAR(40) NOT NULL,"
                       " IDOPERATIVO CHAR(1) NOT NULL DEFAULT 'A' CHECK (IDOPERATIVO IN ('A', 'I')))"),
        QStringLiteral("CREATE TABLE PRECOPROPOSTA ("
                       " CDPRECOPROP VARCHAR(10) NOT NULL PRIMARY KEY CHECK (%1),"
                       " NMPRECOPROP VARCHAR(50) NOT NULL CHECK (LENGTH(TRIM(NMPRECOPROP)) > 0),"
                       " %2,"
                       " %3,"
                       " VRPRECOUNITSIST DOUBLE PRECISION NOT NULL CHECK (VRPRECOUNITSIST >= 0),"
                       " VRPERCMANUTANO DOUBLE PRECISION NOT NULL CHECK (VRPERCMANUTANO >= 0),"
                       " NRMESPRAZOLOCA DOUBLE PRECISION NOT NULL CHECK (NRMESPRAZOLOCA >= 0),"
                       " VRPEDESFILIMATR DOUBLE PRECISION NOT NULL CHECK (VRPEDESFILIMATR >= 0 AND VRPEDESFILIMATR <= 100),"
                       " VRPEDESFILIFILI DOUBLE PRECISION NOT NULL CHECK (VRPEDESFILIFILI >= 0 AND VRPEDESFILIFILI <= 100),"
                       " CHECK (DTFINPRECOPROP >= DTINIPRECOPROP))")
            .arg(d.digits(QStringLiteral("CDPRECOPROP"), 10), d.timestamp(QStringLiteral("DTINIPRECOPROP")),
                 d.timestamp(QStringLiteral("DTFINPRECOPROP"))),
        d.band(Vocabulary::SystemBands, Limits::MaxSystems),
        d.band(Vocabulary::UserBands, Limits::MaxUsers),
        QStringLiteral("CREATE TABLE PRECOPROPOPER ("
                       " CDPRECOPROP VARCHAR(10) NOT NULL REFERENCES PRECOPROPOSTA (CDPRECOPROP) ON DELETE CASCADE,"
                       " CDOPERADOR VARCHAR(12) NOT NULL REFERENCES OPERADOR (CDOPERADOR),"
                       " IDTIPODESCOPER VARCHAR(1) NOT NULL CHECK (IDTIPODESCOPER IN ('L', 'M', 'U')),"
                       " VRPERCDESCOPER DOUBLE PRECISION NOT NULL CHECK (VRPERCDESCOPER >= 0 AND VRPERCDESCOPER <= 100),"
                       " PRIMARY KEY (CDPRECOPROP, CDOPERADOR, IDTIPODESCOPER))"),
        QStringLiteral("CREATE INDEX IXPRECOPROPOPER_OPER ON PRECOPROPOPER (CDOPERADOR)"),
        QStringLiteral("CREATE TABLE TIPOSERV ("
                       " CDTIPOSERV VARCHAR(3) NOT NULL PRIMARY KEY CHECK (LENGTH(CDTIPOSERV) = 3),"
                       " NMTIPOSERV VARCHAR(80) NOT NULL CHECK (LENGTH(TRIM(NMTIPOSERV)) > 0),"
                       " IDPROPSERVWEB VARCHAR(1) NOT NULL CHECK (IDPROPSERVWEB IN ('S', 'N')),"
                       " IDSERVOBRIGPROS VARCHAR(2) NOT NULL CHECK (IDSERVOBRIGPROS IN ('S', 'N')),"
                       " VRPADRAOSERVNAC DOUBLE PRECISION CHECK (VRPADRAOSERVNAC >= 0),"
                       " VRPADRAOSERVINT DOUBLE PRECISION CHECK (VRPADRAOSERVINT >= 0))"),
        QStringLiteral("CREATE TABLE OPERTIPOSERV ("
                       " NROPERTIPOSERV BIGINT NOT NULL PRIMARY KEY CHECK (NROPERTIPOSERV > 0),"
                       " CDTIPOSERV VARCHAR(3) NOT NULL REFERENCES TIPOSERV (CDTIPOSERV),"
                       " CDOPERADOR VARCHAR(12) NOT NULL REFERENCES OPERADOR (CDOPERADOR),"
                       " VRPEDESOPERSERV DOUBLE PRECISION NOT NULL CHECK (VRPEDESOPERSERV >= 0 AND VRPEDESOPERSERV <= 100),"
                       " UNIQUE (CDTIPOSERV, CDOPERADOR))"),
        QStringLiteral("CREATE INDEX IXOPERTIPOSERV_OPER ON OPERTIPOSERV (CDOPERADOR)"),
        QStringLiteral("CREATE TABLE SEGMERCADO ("
                       " CDSEGMERCADO VARCHAR(3) NOT NULL PRIMARY KEY,"
                       " NMSEGMERCADO VARCHAR(60) NOT NULL,"
                       " CDPRECOPROP VARCHAR(10) NULL REFERENCES PRECOPROPOSTA (CDPRECOPROP) ON DELETE SET NULL)"),
        QStringLiteral("CREATE INDEX IXSEGMERCADO_PRECO ON SEGMERCADO (CDPRECOPROP)"),
        QStringLiteral("CREATE TABLE INDICEMENSAL ("
                       " MESINDICE VARCHAR(7) NOT NULL PRIMARY KEY CHECK (%1),"
                       " VRINDICE DOUBLE PRECISION NOT NULL CHECK (VRINDICE > 0))")
            .arg(d.month(QStringLiteral("MESINDICE"))),
        QStringLiteral("CREATE TABLE SEQUENCIA ("
                       " NMSEQUENCIA VARCHAR(30) NOT NULL PRIMARY KEY,"
                       " NRULTIMO BIGINT NOT NULL CHECK (NRULTIMO >= 0))"),
        QStringLiteral("INSERT INTO SEQUENCIA (NMSEQUENCIA, NRULTIMO) VALUES ('PRECOPROPOSTA', 0)"),
        QStringLiteral("INSERT INTO SEQUENCIA (NMSEQUENCIA, NRULTIMO) VALUES ('OPERTIPOSERV', 0)"),
    };
}

// Version 2: the proposal flags of a service type take what other programs of
// the host have stored (the screens show anything but "S" and "N" as empty,
// and the server still writes only "S" or "N" into a flag a change touches).
QStringList version2(const Ddl &d) {
    if (d.dialect == Dialect::PostgreSQL)
        return {QStringLiteral("ALTER TABLE TIPOSERV DROP CONSTRAINT IF EXISTS tiposerv_idpropservweb_check"),
                QStringLiteral("ALTER TABLE TIPOSERV DROP CONSTRAINT IF EXISTS tiposerv_idservobrigpros_check")};
    // SQLite changes a constraint by copying the table (foreign keys are off
    // while migrating; the rows that refer to it are checked before commit).
    const QString columns = QStringLiteral("CDTIPOSERV, NMTIPOSERV, IDPROPSERVWEB, IDSERVOBRIGPROS, VRPADRAOSERVNAC, VRPADRAOSERVINT");
    return {
        QStringLiteral("CREATE TABLE TIPOSERV_NOVO ("
                       " CDTIPOSERV VARCHAR(3) NOT NULL PRIMARY KEY CHECK (LENGTH(CDTIPOSERV) = 3),"
                       " NMTIPOSERV VARCHAR(80) NOT NULL CHECK (LENGTH(TRIM(NMTIPOSERV)) > 0),"
                       " IDPROPSERVWEB VARCHAR(1) NOT NULL,"
                       " IDSERVOBRIGPROS VARCHAR(2) NOT NULL,"
                       " VRPADRAOSERVNAC DOUBLE PRECISION CHECK (VRPADRAOSERVNAC >= 0),"
                       " VRPADRAOSERVINT DOUBLE PRECISION CHECK (VRPADRAOSERVINT >= 0))"),
        QStringLiteral("INSERT INTO TIPOSERV_NOVO (%1) SELECT %1 FROM TIPOSERV").arg(columns),
        QStringLiteral("DROP TABLE TIPOSERV"),
        QStringLiteral("ALTER TABLE TIPOSERV_NOVO RENAME TO TIPOSERV"),
    };
}

// Version 3: who changed what. A key per person (only a hash of each key is
// kept) and the audit trail: one row per field of every change written.
QStringList version3(const Ddl &d) {
    const QString when = d.dialect == Dialect::PostgreSQL ? QStringLiteral("TIMESTAMP(0)") : QStringLiteral("TEXT");
    const QString id = d.dialect == Dialect::PostgreSQL ? QStringLiteral("BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY")
                                                        : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    return {QStringLiteral("CREATE TABLE AUDITORIA ("
                           " NRAUDITORIA %1,"
                           " %2,"
                           " NMUSUARIO VARCHAR(60) NOT NULL,"
                           " NMMETODO VARCHAR(60) NOT NULL,"
                           " NMTABELA VARCHAR(30) NOT NULL,"
                           " DSCHAVE VARCHAR(200) NOT NULL,"
                           " CDPRECOPROP VARCHAR(10),"
                           " IDOPERACAO CHAR(1) NOT NULL CHECK (IDOPERACAO IN ('I', 'A', 'E')),"
                           " NMCAMPO VARCHAR(30) NOT NULL,"
                           " DSANTES VARCHAR(100),"
                           " DSDEPOIS VARCHAR(100))")
                .arg(id, d.timestamp(QStringLiteral("DTALTERACAO"))),
            QStringLiteral("CREATE INDEX AUDITORIA_TABELA ON AUDITORIA (CDPRECOPROP, DTALTERACAO)"),
            QStringLiteral("CREATE INDEX AUDITORIA_DATA ON AUDITORIA (DTALTERACAO)"),
            QStringLiteral("CREATE TABLE CHAVEUSUARIO ("
                           " NMUSUARIO VARCHAR(60) NOT NULL PRIMARY KEY CHECK (LENGTH(TRIM(NMUSUARIO)) > 0),"
                           " HSCHAVE VARCHAR(64) NOT NULL UNIQUE,"
                           " %1,"
                           " DTULTIMOUSO %2,"
                           " DTREVOGACAO %2)")
                .arg(d.timestamp(QStringLiteral("DTCRIACAO")), when)};
}

// Version 4: who may change what, writes safe to repeat, a trail nobody
// rewrites. Keys made before roles existed keep doing everything they did.
QStringList version4(const Ddl &d) {
    const bool pg = d.dialect == Dialect::PostgreSQL;
    QStringList out{
        QStringLiteral("ALTER TABLE CHAVEUSUARIO ADD COLUMN NMPAPEL VARCHAR(20) NOT NULL DEFAULT 'administrador'"
                       " CHECK (NMPAPEL IN ('consulta', 'precos', 'descontos', 'administrador'))"),
        QStringLiteral("CREATE TABLE IDEMPOTENCIA ("
                       " NMUSUARIO VARCHAR(60) NOT NULL,"
                       " DSCHAVE VARCHAR(64) NOT NULL,"
                       " HSPEDIDO VARCHAR(64) NOT NULL,"
                       " %1,"
                       " DSDADOS TEXT NOT NULL,"
                       " DSPARAMETROS TEXT NOT NULL,"
                       " PRIMARY KEY (NMUSUARIO, DSCHAVE))")
            .arg(d.timestamp(QStringLiteral("DTCRIACAO"))),
        QStringLiteral("CREATE INDEX IDEMPOTENCIA_DATA ON IDEMPOTENCIA (DTCRIACAO)"),
    };
    const QString refusal = QStringLiteral("A trilha de auditoria (AUDITORIA) só aceita inclusões: registros gravados não podem ser alterados "
                                           "nem excluídos.");
    if (pg) {
        out << QStringLiteral("CREATE FUNCTION auditoria_somente_inclusao() RETURNS trigger LANGUAGE plpgsql AS "
                              "$$ BEGIN RAISE EXCEPTION '%1' USING ERRCODE = 'insufficient_privilege'; END $$")
                   .arg(refusal)
            << QStringLiteral("CREATE TRIGGER AUDITORIA_SOMENTE_INCLUSAO BEFORE UPDATE OR DELETE ON AUDITORIA FOR EACH ROW "
                              "EXECUTE FUNCTION auditoria_somente_inclusao()")
            << QStringLiteral("CREATE TRIGGER AUDITORIA_SEM_TRUNCATE BEFORE TRUNCATE ON AUDITORIA FOR EACH STATEMENT "
                              "EXECUTE FUNCTION auditoria_somente_inclusao()")
            << QStringLiteral("REVOKE UPDATE, DELETE, TRUNCATE ON AUDITORIA FROM PUBLIC");
    } else {
        for (const char *op : {"UPDATE", "DELETE"})
            out << QStringLiteral("CREATE TRIGGER AUDITORIA_SEM_%1 BEFORE %1 ON AUDITORIA BEGIN SELECT RAISE(ABORT, '%2'); END")
                       .arg(QLatin1String(op), refusal);
    }
    return out;
}

const std::function<QStringList(const Ddl &)> kMigrations[] = {version1, version2, version3, version4};

}  // namespace

int Schema::currentVersion() { return int(std::size(kMigrations)); }

void Schema::migrate(DbSession &session) {
    const Ddl ddl{session.dialect()};
    // SQLite copies a table to change its constraints; the switch cannot
    // change inside a transaction.
    const bool sqlite = !session.isPostgres();
    if (sqlite) session.execute(QStringLiteral("PRAGMA foreign_keys = OFF"));
    session.begin(TxMode::Write);
    try {
        if (session.isPostgres()) {
            // Two servers starting together on one database take turns here.
            session.execute(QStringLiteral("SELECT pg_advisory_xact_lock(7300300)"));
            if (!session.config().schema.isEmpty())
                session.execute(QStringLiteral("CREATE SCHEMA IF NOT EXISTS \"%1\"").arg(session.config().schema));
        }
        session.execute(QStringLiteral("CREATE TABLE IF NOT EXISTS SCHEMAVERSAO (NRVERSAO INTEGER NOT NULL)"));
        int version = 0;
        {
            Query q(session, QStringLiteral("SELECT MAX(NRVERSAO) FROM SCHEMAVERSAO"));
            q.exec();
            if (q.next() && !q.isNull(0)) version = q.value(0).toInt();
        }
        for (int v = version; v < currentVersion(); ++v) {
            for (const QString &statement : kMigrations[v](ddl)) session.execute(statement);
            Query q(session, QStringLiteral("INSERT INTO SCHEMAVERSAO (NRVERSAO) VALUES (?)"));
            q.bind(v + 1).exec();
        }
        if (sqlite) {
            Query broken(session, QStringLiteral("PRAGMA foreign_key_check"));
            broken.exec();
            if (broken.next()) throw std::runtime_error("schema migration left rows without the row they refer to");
        }
        session.commit();
    } catch (...) {
        session.rollback();
        if (sqlite) session.execute(QStringLiteral("PRAGMA foreign_keys = ON"));
        throw;
    }
    if (sqlite) session.execute(QStringLiteral("PRAGMA foreign_keys = ON"));
}

bool Schema::readable(DbSession &session) {
    {
        Query q(session, QStringLiteral("SELECT MAX(NRVERSAO) FROM SCHEMAVERSAO"));
        q.exec();
        if (!q.next() || q.value(0).toInt() != currentVersion()) return false;
    }
    if (session.isPostgres()) return true;
    Query q(session, QStringLiteral("PRAGMA quick_check(1)"));
    q.exec();
    return q.next() && q.text(0) == QLatin1String("ok");
}
