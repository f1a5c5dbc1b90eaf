-- The tables of schema.sql on a PostgreSQL server, for several counters at once.
-- What the windows see is the same on both engines:
--   jet_text      text that compares without regard to case (= like, ordering,
--                 unique keys), folded as SQLite's NOCASE folds (ASCII letters)
--                 and ordered by code point;
--   jet_date,
--   jet_datetime  dates as the same ISO text SQLite stores;
--   jet_rowid     the order rows were written in, for "order by rowid" and plain
--                 reads (the engine hides this column from the windows); the
--                 statistics tables are read in key order instead;
--   counters      identities that never repeat.
-- Column order is the order of schema.sql.

CREATE EXTENSION IF NOT EXISTS citext;

CREATE DOMAIN jet_text AS citext COLLATE "C";
CREATE DOMAIN jet_date AS text COLLATE "C";
CREATE DOMAIN jet_datetime AS text COLLATE "C";

-- Local time of the seat (the engine sets the session's time zone), in SQLite's form.
CREATE FUNCTION jet_now() RETURNS text LANGUAGE sql VOLATILE
    AS $$ SELECT to_char(clock_timestamp(), 'YYYY-MM-DD HH24:MI:SS') $$;
CREATE FUNCTION jet_today() RETURNS text LANGUAGE sql VOLATILE
    AS $$ SELECT to_char(clock_timestamp(), 'YYYY-MM-DD') $$;

-- SQLite's date(value, modifiers...) for the modifiers "+N days", "-N months", "+N years".
CREATE FUNCTION jet_sqlite_date(value text, VARIADIC modifiers text[] DEFAULT '{}') RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    day date;
    modifier text;
    parts text[];
BEGIN
    IF value IS NULL OR value !~ '^\s*\d{4}-\d{2}-\d{2}' THEN
        RETURN NULL;
    END IF;
    day := left(trim(value), 10)::date;
    FOREACH modifier IN ARRAY modifiers LOOP
        parts := regexp_match(lower(trim(modifier)), '^([+-]?\d+)\s+(day|month|year)s?$');
        IF parts IS NULL THEN
            RETURN NULL;
        END IF;
        IF parts[2] = 'day' THEN
            day := day + parts[1]::integer;
        ELSE
            -- As SQLite: the month moves, the day stays, and an overflow runs on (31 January + 1 month = 3 March).
            day := make_date(extract(year FROM day)::integer, extract(month FROM day)::integer, 1)
                   + (parts[1] || ' ' || parts[2])::interval + (extract(day FROM day)::integer - 1) * interval '1 day';
        END IF;
    END LOOP;
    RETURN to_char(day, 'YYYY-MM-DD');
END $$;

-- Text on the server cannot hold a NUL; saying so beats cutting the text short.
CREATE FUNCTION jet_char(code bigint) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    IF code = 0 THEN
        RAISE EXCEPTION '文本中含有空字符 (NUL)，服务器数据库不能保存' USING ERRCODE = '22021';
    END IF;
    RETURN chr(code::integer);
END $$;

CREATE FUNCTION jet_round(value double precision, places integer DEFAULT 0) RETURNS double precision
    LANGUAGE sql IMMUTABLE AS $$ SELECT round(value::numeric, places)::double precision $$;

-- SQLite's group_concat(value [, separator]): nulls are left out, "," by default.
CREATE FUNCTION jet_concat_step(joined text, value anyelement, separator text) RETURNS text LANGUAGE sql IMMUTABLE
    AS $$ SELECT CASE WHEN value IS NULL THEN joined WHEN joined IS NULL THEN value::text
                      ELSE joined || coalesce(separator, '') || value::text END $$;
CREATE FUNCTION jet_concat_step(joined text, value anyelement) RETURNS text LANGUAGE sql IMMUTABLE
    AS $$ SELECT jet_concat_step(joined, value, ',') $$;
CREATE AGGREGATE jet_group_concat(anyelement, text) (SFUNC = jet_concat_step, STYPE = text);
CREATE AGGREGATE jet_group_concat(anyelement) (SFUNC = jet_concat_step, STYPE = text);

-- SQLite's total(): a sum that is 0.0, not null, over no rows.
CREATE AGGREGATE jet_total(double precision) (SFUNC = float8pl, STYPE = double precision, INITCOND = '0');

-- SQLite's typeof(): the storage class a value would have there.
CREATE FUNCTION jet_typeof(value anyelement) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN value IS NULL THEN 'null'
                WHEN pg_typeof(value) IN ('double precision'::regtype, 'real'::regtype, 'numeric'::regtype) THEN 'real'
                WHEN pg_typeof(value) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype, 'boolean'::regtype)
                    THEN 'integer'
                WHEN pg_typeof(value) = 'bytea'::regtype THEN 'blob'
                ELSE 'text' END
$$;

-- SQLite compares a yes/no column with 1 and 0, and a text column with a bare
-- number (as its text): so does the server.
CREATE FUNCTION jet_eq(a boolean, b integer) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT a::integer = b $$;
CREATE FUNCTION jet_ne(a boolean, b integer) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT a::integer <> b $$;
CREATE OPERATOR = (LEFTARG = boolean, RIGHTARG = integer, FUNCTION = jet_eq, NEGATOR = <>);
CREATE OPERATOR <> (LEFTARG = boolean, RIGHTARG = integer, FUNCTION = jet_ne, NEGATOR = =);
CREATE FUNCTION jet_eq(a citext, b bigint) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT a = b::text::citext $$;
CREATE FUNCTION jet_ne(a citext, b bigint) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT a <> b::text::citext $$;
CREATE OPERATOR = (LEFTARG = citext, RIGHTARG = bigint, FUNCTION = jet_eq, NEGATOR = <>);
CREATE OPERATOR <> (LEFTARG = citext, RIGHTARG = bigint, FUNCTION = jet_ne, NEGATOR = =);
CREATE FUNCTION jet_eq(a citext, b double precision) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT a = b::text::citext $$;
CREATE FUNCTION jet_ne(a citext, b double precision) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT a <> b::text::citext $$;
CREATE OPERATOR = (LEFTARG = citext, RIGHTARG = double precision, FUNCTION = jet_eq, NEGATOR = <>);
CREATE OPERATOR <> (LEFTARG = citext, RIGHTARG = double precision, FUNCTION = jet_ne, NEGATOR = =);

-- "The row still holds what was read": exact, nulls equal, letter case counts.
CREATE FUNCTION jet_same(a citext, b citext) RETURNS boolean LANGUAGE sql IMMUTABLE
    AS $$ SELECT a::text IS NOT DISTINCT FROM b::text $$;
CREATE FUNCTION jet_same(a text, b text) RETURNS boolean LANGUAGE sql IMMUTABLE
    AS $$ SELECT a IS NOT DISTINCT FROM b $$;
CREATE FUNCTION jet_same(a double precision, b double precision) RETURNS boolean LANGUAGE sql IMMUTABLE
    AS $$ SELECT a IS NOT DISTINCT FROM b $$;
CREATE FUNCTION jet_same(a bigint, b bigint) RETURNS boolean LANGUAGE sql IMMUTABLE
    AS $$ SELECT a IS NOT DISTINCT FROM b $$;
CREATE FUNCTION jet_same(a boolean, b boolean) RETURNS boolean LANGUAGE sql IMMUTABLE
    AS $$ SELECT a IS NOT DISTINCT FROM b $$;

CREATE TABLE czyzd (
    czy_no    bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    czy_name  jet_text NOT NULL UNIQUE,
    -- Passwords are compared exactly.
    czy_pass  text COLLATE "C",
    sys_tag   boolean NOT NULL DEFAULT false
);

CREATE TABLE czy (
    name      jet_text NOT NULL,
    czy_id    bigint,
    nr        jet_text NOT NULL,
    jet_rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY
);
CREATE INDEX czy_name ON czy(name);

CREATE TABLE czyrz (
    tag       bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    czyname   jet_text,
    czyxm     jet_text,
    init_time jet_datetime DEFAULT jet_now(),
    last_time jet_datetime
);
CREATE INDEX czyrz_open_entry ON czyrz(czyxm) WHERE last_time IS NULL;
CREATE INDEX czyrz_init_time ON czyrz(init_time);

CREATE TABLE dh_codedict (
    table_code      jet_text NOT NULL,
    table_name      jet_text,
    colm_code       jet_text NOT NULL,
    colm_name       jet_text,
    colm_type       jet_text,
    colm_cd         bigint,
    nullbj          jet_text,
    can_show        jet_text,
    xh              bigint,
    con_type        jet_text,
    check_table     jet_text,
    check_colm      jet_text,
    check_value     jet_text,
    check_colmvalue jet_text,
    jet_rowid       bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY
);
CREATE INDEX dh_codedict_table ON dh_codedict(table_code, xh);

CREATE TABLE pr_codedict (
    xh         bigint,
    table_code jet_text,
    table_name jet_text,
    colm_code  jet_text,
    colm_name  jet_text,
    colm_type  jet_text,
    colm_cd    bigint,
    sum_tag    jet_text,
    colm_dq    jet_text,
    can_show   jet_text,
    memo       jet_text,
    jet_rowid  bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY
);
CREATE INDEX pr_codedict_table ON pr_codedict(table_code, xh);

CREATE TABLE dict (
    class     jet_text NOT NULL,
    lx        bigint NOT NULL,
    jm        jet_text,
    sm        jet_text NOT NULL,
    bz        jet_text,
    jet_rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    UNIQUE (class, lx)
);

CREATE TABLE pr_report (
    xh                     bigint NOT NULL PRIMARY KEY,
    report_name            jet_text NOT NULL,
    report_sql             jet_text NOT NULL,
    report_findtjtablename jet_text,
    report_prtjtablename   jet_text
);

CREATE TABLE hyda (
    id    bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    kh    jet_text NOT NULL UNIQUE,
    xm    jet_text NOT NULL,
    sfzh  jet_text,
    xb    jet_text,
    csrq  jet_date,
    sj    jet_text,
    dh    jet_text,
    dw    jet_text,
    zw    jet_text,
    dz    jet_text,
    yb    jet_text,
    email jet_text,
    hyjb  jet_text,
    cyhk  jet_text,
    bz    jet_text,
    lxr   jet_text,
    jsjf  jet_text DEFAULT '1',
    djrc  jet_date,
    hyzt  jet_text DEFAULT '有效',
    djr   jet_text
);
CREATE INDEX hyda_xm_id ON hyda(xm, id);

CREATE TABLE hyxc (
    id       bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    kh       jet_text NOT NULL,
    cprq     jet_date,
    qfrq     jet_date,
    daoda    jet_text,
    kaishi   jet_text,
    hbh      jet_text,
    cw       jet_text,
    piaohao  jet_text,
    zs       double precision DEFAULT 1,
    amount1  double precision DEFAULT 0,
    zk       double precision,
    amount2  double precision DEFAULT 0,
    jfbl     double precision DEFAULT 0,
    hangkong jet_text,
    qfsj     jet_text,
    neivai   jet_text,
    bx       double precision,
    amount3  double precision DEFAULT 0,
    sxf      double precision,
    zt       jet_text DEFAULT '正常',
    dpy      jet_text,
    spy      jet_text,
    czy      jet_text,
    lrrq     jet_date,
    bz       jet_text,
    jifen    double precision DEFAULT 0,
    jifenyue double precision DEFAULT 0
);
CREATE INDEX hyxc_kh ON hyxc(kh);
CREATE INDEX hyxc_cprq ON hyxc(cprq);

CREATE TABLE hyxczhuanrang (
    kh          jet_text,
    kaishi      jet_text,
    daoda       jet_text,
    amount1     double precision,
    amount2     double precision,
    amount3     double precision,
    hangkong    jet_text,
    neivai      jet_text,
    jifen       double precision,
    jifenyue    double precision,
    zhuanrangkh jet_text,
    zrsj        jet_datetime DEFAULT jet_now(),
    jet_rowid   bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY
);
CREATE INDEX hyxczhuanrang_kh ON hyxczhuanrang(kh);

CREATE TABLE jifenallow (
    kh        jet_text,
    czy       jet_text,
    jifen     double precision,
    bz        jet_text,
    qcsj      jet_datetime DEFAULT jet_now(),
    jet_rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY
);
CREATE INDEX jifenallow_kh ON jifenallow(kh);

CREATE TABLE sumhangkong (
    hangkong     jet_text NOT NULL DEFAULT '',
    cprq         jet_date NOT NULL DEFAULT '',
    neivai       jet_text NOT NULL DEFAULT '',
    zsofsum      double precision NOT NULL DEFAULT 0,
    amount1ofsum double precision NOT NULL DEFAULT 0,
    amount2ofsum double precision NOT NULL DEFAULT 0,
    amount3ofsum double precision NOT NULL DEFAULT 0,
    tickets      bigint NOT NULL DEFAULT 0,
    PRIMARY KEY (hangkong, cprq, neivai)
);
-- The income by day reads it in day order, without a sort.
CREATE INDEX sumhangkong_day ON sumhangkong (cprq, zsofsum, amount2ofsum, amount3ofsum);

CREATE TABLE sumgeren (
    dpy          jet_text NOT NULL DEFAULT '',
    cprq         jet_date NOT NULL DEFAULT '',
    hangkong     jet_text NOT NULL DEFAULT '',
    zsofsum      double precision NOT NULL DEFAULT 0,
    amount1ofsum double precision NOT NULL DEFAULT 0,
    amount2ofsum double precision NOT NULL DEFAULT 0,
    amount3ofsum double precision NOT NULL DEFAULT 0,
    tickets      bigint NOT NULL DEFAULT 0,
    PRIMARY KEY (dpy, cprq, hangkong)
);

CREATE TABLE sumdaoda (
    kaishi       jet_text NOT NULL DEFAULT '',
    daoda        jet_text NOT NULL DEFAULT '',
    cprq         jet_date NOT NULL DEFAULT '',
    zsofsum      double precision NOT NULL DEFAULT 0,
    amount1ofsum double precision NOT NULL DEFAULT 0,
    amount2ofsum double precision NOT NULL DEFAULT 0,
    amount3ofsum double precision NOT NULL DEFAULT 0,
    tickets      bigint NOT NULL DEFAULT 0,
    PRIMARY KEY (kaishi, daoda, cprq)
);

-- Ticket statistics, kept as the SQLite triggers keep them. Inserts and
-- deletes are summed per statement (a whole archive copied in at once costs
-- one pass); a change of a counted column moves the one ticket.
CREATE FUNCTION hyxc_statistics_rows() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        INSERT INTO sumhangkong AS s (hangkong, cprq, neivai, zsofsum, amount1ofsum, amount2ofsum, amount3ofsum, tickets)
        SELECT coalesce(hangkong, ''), coalesce(cprq, ''), coalesce(neivai, ''), sum(coalesce(zs, 0)),
               sum(coalesce(amount1 * zs, 0)), sum(coalesce(amount2 * zs, 0)), sum(coalesce(amount3 * zs, 0)), count(*)
        FROM new_rows WHERE zt IS NULL OR zt = '正常' GROUP BY 1, 2, 3
        ON CONFLICT (hangkong, cprq, neivai) DO UPDATE SET zsofsum = s.zsofsum + excluded.zsofsum,
            amount1ofsum = s.amount1ofsum + excluded.amount1ofsum, amount2ofsum = s.amount2ofsum + excluded.amount2ofsum,
            amount3ofsum = s.amount3ofsum + excluded.amount3ofsum, tickets = s.tickets + excluded.tickets;
        INSERT INTO sumgeren AS s (dpy, cprq, hangkong, zsofsum, amount1ofsum, amount2ofsum, amount3ofsum, tickets)
        SELECT coalesce(dpy, ''), coalesce(cprq, ''), coalesce(hangkong, ''), sum(coalesce(zs, 0)),
               sum(coalesce(amount1 * zs, 0)), sum(coalesce(amount2 * zs, 0)), sum(coalesce(amount3 * zs, 0)), count(*)
        FROM new_rows WHERE zt IS NULL OR zt = '正常' GROUP BY 1, 2, 3
        ON CONFLICT (dpy, cprq, hangkong) DO UPDATE SET zsofsum = s.zsofsum + excluded.zsofsum,
            amount1ofsum = s.amount1ofsum + excluded.amount1ofsum, amount2ofsum = s.amount2ofsum + excluded.amount2ofsum,
            amount3ofsum = s.amount3ofsum + excluded.amount3ofsum, tickets = s.tickets + excluded.tickets;
        INSERT INTO sumdaoda AS s (kaishi, daoda, cprq, zsofsum, amount1ofsum, amount2ofsum, amount3ofsum, tickets)
        SELECT coalesce(kaishi, ''), coalesce(daoda, ''), coalesce(cprq, ''), sum(coalesce(zs, 0)),
               sum(coalesce(amount1 * zs, 0)), sum(coalesce(amount2 * zs, 0)), sum(coalesce(amount3 * zs, 0)), count(*)
        FROM new_rows WHERE zt IS NULL OR zt = '正常' GROUP BY 1, 2, 3
        ON CONFLICT (kaishi, daoda, cprq) DO UPDATE SET zsofsum = s.zsofsum + excluded.zsofsum,
            amount1ofsum = s.amount1ofsum + excluded.amount1ofsum, amount2ofsum = s.amount2ofsum + excluded.amount2ofsum,
            amount3ofsum = s.amount3ofsum + excluded.amount3ofsum, tickets = s.tickets + excluded.tickets;
    ELSE
        WITH gone AS (
            SELECT coalesce(hangkong, '') AS k1, coalesce(cprq, '') AS k2, coalesce(neivai, '') AS k3,
                   sum(coalesce(zs, 0)) AS zs, sum(coalesce(amount1 * zs, 0)) AS a1, sum(coalesce(amount2 * zs, 0)) AS a2,
                   sum(coalesce(amount3 * zs, 0)) AS a3, count(*) AS n
            FROM old_rows WHERE zt IS NULL OR zt = '正常' GROUP BY 1, 2, 3)
        UPDATE sumhangkong s SET zsofsum = s.zsofsum - g.zs, amount1ofsum = s.amount1ofsum - g.a1,
            amount2ofsum = s.amount2ofsum - g.a2, amount3ofsum = s.amount3ofsum - g.a3, tickets = s.tickets - g.n
        FROM gone g WHERE s.hangkong = g.k1 AND s.cprq = g.k2 AND s.neivai = g.k3;
        DELETE FROM sumhangkong s USING old_rows o
        WHERE s.tickets <= 0 AND s.hangkong = coalesce(o.hangkong, '') AND s.cprq = coalesce(o.cprq, '')
            AND s.neivai = coalesce(o.neivai, '');
        WITH gone AS (
            SELECT coalesce(dpy, '') AS k1, coalesce(cprq, '') AS k2, coalesce(hangkong, '') AS k3,
                   sum(coalesce(zs, 0)) AS zs, sum(coalesce(amount1 * zs, 0)) AS a1, sum(coalesce(amount2 * zs, 0)) AS a2,
                   sum(coalesce(amount3 * zs, 0)) AS a3, count(*) AS n
            FROM old_rows WHERE zt IS NULL OR zt = '正常' GROUP BY 1, 2, 3)
        UPDATE sumgeren s SET zsofsum = s.zsofsum - g.zs, amount1ofsum = s.amount1ofsum - g.a1,
            amount2ofsum = s.amount2ofsum - g.a2, amount3ofsum = s.amount3ofsum - g.a3, tickets = s.tickets - g.n
        FROM gone g WHERE s.dpy = g.k1 AND s.cprq = g.k2 AND s.hangkong = g.k3;
        DELETE FROM sumgeren s USING old_rows o
        WHERE s.tickets <= 0 AND s.dpy = coalesce(o.dpy, '') AND s.cprq = coalesce(o.cprq, '')
            AND s.hangkong = coalesce(o.hangkong, '');
        WITH gone AS (
            SELECT coalesce(kaishi, '') AS k1, coalesce(daoda, '') AS k2, coalesce(cprq, '') AS k3,
                   sum(coalesce(zs, 0)) AS zs, sum(coalesce(amount1 * zs, 0)) AS a1, sum(coalesce(amount2 * zs, 0)) AS a2,
                   sum(coalesce(amount3 * zs, 0)) AS a3, count(*) AS n
            FROM old_rows WHERE zt IS NULL OR zt = '正常' GROUP BY 1, 2, 3)
        UPDATE sumdaoda s SET zsofsum = s.zsofsum - g.zs, amount1ofsum = s.amount1ofsum - g.a1,
            amount2ofsum = s.amount2ofsum - g.a2, amount3ofsum = s.amount3ofsum - g.a3, tickets = s.tickets - g.n
        FROM gone g WHERE s.kaishi = g.k1 AND s.daoda = g.k2 AND s.cprq = g.k3;
        DELETE FROM sumdaoda s USING old_rows o
        WHERE s.tickets <= 0 AND s.kaishi = coalesce(o.kaishi, '') AND s.daoda = coalesce(o.daoda, '')
            AND s.cprq = coalesce(o.cprq, '');
    END IF;
    RETURN NULL;
END $$;

CREATE TRIGGER hyxc_statistics_add AFTER INSERT ON hyxc REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION hyxc_statistics_rows();
CREATE TRIGGER hyxc_statistics_remove AFTER DELETE ON hyxc REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION hyxc_statistics_rows();

CREATE FUNCTION hyxc_statistics_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF OLD.zt IS NULL OR OLD.zt = '正常' THEN
        UPDATE sumhangkong SET zsofsum = zsofsum - coalesce(OLD.zs, 0),
            amount1ofsum = amount1ofsum - coalesce(OLD.amount1 * OLD.zs, 0),
            amount2ofsum = amount2ofsum - coalesce(OLD.amount2 * OLD.zs, 0),
            amount3ofsum = amount3ofsum - coalesce(OLD.amount3 * OLD.zs, 0), tickets = tickets - 1
        WHERE hangkong = coalesce(OLD.hangkong, '') AND cprq = coalesce(OLD.cprq, '') AND neivai = coalesce(OLD.neivai, '');
        UPDATE sumgeren SET zsofsum = zsofsum - coalesce(OLD.zs, 0),
            amount1ofsum = amount1ofsum - coalesce(OLD.amount1 * OLD.zs, 0),
            amount2ofsum = amount2ofsum - coalesce(OLD.amount2 * OLD.zs, 0),
            amount3ofsum = amount3ofsum - coalesce(OLD.amount3 * OLD.zs, 0), tickets = tickets - 1
        WHERE dpy = coalesce(OLD.dpy, '') AND cprq = coalesce(OLD.cprq, '') AND hangkong = coalesce(OLD.hangkong, '');
        UPDATE sumdaoda SET zsofsum = zsofsum - coalesce(OLD.zs, 0),
            amount1ofsum = amount1ofsum - coalesce(OLD.amount1 * OLD.zs, 0),
            amount2ofsum = amount2ofsum - coalesce(OLD.amount2 * OLD.zs, 0),
            amount3ofsum = amount3ofsum - coalesce(OLD.amount3 * OLD.zs, 0), tickets = tickets - 1
        WHERE kaishi = coalesce(OLD.kaishi, '') AND daoda = coalesce(OLD.daoda, '') AND cprq = coalesce(OLD.cprq, '');
    END IF;
    DELETE FROM sumhangkong WHERE tickets <= 0 AND hangkong = coalesce(OLD.hangkong, '')
        AND cprq = coalesce(OLD.cprq, '') AND neivai = coalesce(OLD.neivai, '');
    DELETE FROM sumgeren WHERE tickets <= 0 AND dpy = coalesce(OLD.dpy, '')
        AND cprq = coalesce(OLD.cprq, '') AND hangkong = coalesce(OLD.hangkong, '');
    DELETE FROM sumdaoda WHERE tickets <= 0 AND kaishi = coalesce(OLD.kaishi, '')
        AND daoda = coalesce(OLD.daoda, '') AND cprq = coalesce(OLD.cprq, '');
    IF NEW.zt IS NULL OR NEW.zt = '正常' THEN
        INSERT INTO sumhangkong AS s (hangkong, cprq, neivai, zsofsum, amount1ofsum, amount2ofsum, amount3ofsum, tickets)
        VALUES (coalesce(NEW.hangkong, ''), coalesce(NEW.cprq, ''), coalesce(NEW.neivai, ''), coalesce(NEW.zs, 0),
                coalesce(NEW.amount1 * NEW.zs, 0), coalesce(NEW.amount2 * NEW.zs, 0), coalesce(NEW.amount3 * NEW.zs, 0), 1)
        ON CONFLICT (hangkong, cprq, neivai) DO UPDATE SET zsofsum = s.zsofsum + excluded.zsofsum,
            amount1ofsum = s.amount1ofsum + excluded.amount1ofsum, amount2ofsum = s.amount2ofsum + excluded.amount2ofsum,
            amount3ofsum = s.amount3ofsum + excluded.amount3ofsum, tickets = s.tickets + 1;
        INSERT INTO sumgeren AS s (dpy, cprq, hangkong, zsofsum, amount1ofsum, amount2ofsum, amount3ofsum, tickets)
        VALUES (coalesce(NEW.dpy, ''), coalesce(NEW.cprq, ''), coalesce(NEW.hangkong, ''), coalesce(NEW.zs, 0),
                coalesce(NEW.amount1 * NEW.zs, 0), coalesce(NEW.amount2 * NEW.zs, 0), coalesce(NEW.amount3 * NEW.zs, 0), 1)
        ON CONFLICT (dpy, cprq, hangkong) DO UPDATE SET zsofsum = s.zsofsum + excluded.zsofsum,
            amount1ofsum = s.amount1ofsum + excluded.amount1ofsum, amount2ofsum = s.amount2ofsum + excluded.amount2ofsum,
            amount3ofsum = s.amount3ofsum + excluded.amount3ofsum, tickets = s.tickets + 1;
        INSERT INTO sumdaoda AS s (kaishi, daoda, cprq, zsofsum, amount1ofsum, amount2ofsum, amount3ofsum, tickets)
        VALUES (coalesce(NEW.kaishi, ''), coalesce(NEW.daoda, ''), coalesce(NEW.cprq, ''), coalesce(NEW.zs, 0),
                coalesce(NEW.amount1 * NEW.zs, 0), coalesce(NEW.amount2 * NEW.zs, 0), coalesce(NEW.amount3 * NEW.zs, 0), 1)
        ON CONFLICT (kaishi, daoda, cprq) DO UPDATE SET zsofsum = s.zsofsum + excluded.zsofsum,
            amount1ofsum = s.amount1ofsum + excluded.amount1ofsum, amount2ofsum = s.amount2ofsum + excluded.amount2ofsum,
            amount3ofsum = s.amount3ofsum + excluded.amount3ofsum, tickets = s.tickets + 1;
    END IF;
    RETURN NULL;
END $$;

CREATE TRIGGER hyxc_statistics_change AFTER UPDATE OF cprq, hangkong, neivai, dpy, kaishi, daoda, zs, amount1,
    amount2, amount3, zt ON hyxc FOR EACH ROW EXECUTE FUNCTION hyxc_statistics_change();

-- kept points: begin (an archive made before them gets this part when opened)
-- Points per card number, kept as the SQLite triggers keep them; inserts and
-- deletes are summed per statement, a change moves the one ticket.
CREATE TABLE sumkh (
    kh       jet_text NOT NULL PRIMARY KEY,
    cs       bigint NOT NULL DEFAULT 0,
    jifen    double precision NOT NULL DEFAULT 0,
    jifenyue double precision NOT NULL DEFAULT 0
);

CREATE FUNCTION hyxc_points_rows() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'INSERT' THEN
        INSERT INTO sumkh AS s (kh, cs, jifen, jifenyue)
        SELECT kh, count(*), sum(coalesce(jifen, 0)), sum(coalesce(jifenyue, 0)) FROM new_rows GROUP BY kh
        ON CONFLICT (kh) DO UPDATE SET cs = s.cs + excluded.cs, jifen = s.jifen + excluded.jifen,
            jifenyue = s.jifenyue + excluded.jifenyue;
    ELSE
        WITH gone AS (
            SELECT kh, count(*) AS n, sum(coalesce(jifen, 0)) AS j, sum(coalesce(jifenyue, 0)) AS y
            FROM old_rows GROUP BY kh)
        UPDATE sumkh s SET cs = s.cs - g.n, jifen = s.jifen - g.j, jifenyue = s.jifenyue - g.y
        FROM gone g WHERE s.kh = g.kh;
        DELETE FROM sumkh s USING old_rows o WHERE s.cs <= 0 AND s.kh = o.kh;
    END IF;
    RETURN NULL;
END $$;

CREATE TRIGGER hyxc_points_add AFTER INSERT ON hyxc REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION hyxc_points_rows();
CREATE TRIGGER hyxc_points_remove AFTER DELETE ON hyxc REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION hyxc_points_rows();

CREATE FUNCTION hyxc_points_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    UPDATE sumkh SET cs = cs - 1, jifen = jifen - coalesce(OLD.jifen, 0), jifenyue = jifenyue - coalesce(OLD.jifenyue, 0)
    WHERE kh = OLD.kh;
    DELETE FROM sumkh WHERE kh = OLD.kh AND cs <= 0;
    INSERT INTO sumkh AS s (kh, cs, jifen, jifenyue) VALUES (NEW.kh, 1, coalesce(NEW.jifen, 0), coalesce(NEW.jifenyue, 0))
    ON CONFLICT (kh) DO UPDATE SET cs = s.cs + 1, jifen = s.jifen + excluded.jifen, jifenyue = s.jifenyue + excluded.jifenyue;
    RETURN NULL;
END $$;

CREATE TRIGGER hyxc_points_change AFTER UPDATE OF kh, jifen, jifenyue ON hyxc
    FOR EACH ROW EXECUTE FUNCTION hyxc_points_change();

CREATE VIEW sumjifen AS
    SELECT hyda.id AS id, hyda.kh AS kh, hyda.xm AS xm, hyda.sj AS sj, hyda.hyjb AS hyjb,
           hyda.djrc AS djrc,
           coalesce(sumkh.cs, 0) AS cs,
           coalesce(sumkh.jifen, 0) AS jifen,
           coalesce(sumkh.jifenyue, 0) AS jifenyue
    FROM hyda LEFT JOIN sumkh ON sumkh.kh = hyda.kh;
-- kept points: end

-- The period income views list their groups in key order, as SQLite's grouping does.
CREATE VIEW srriqi AS
    SELECT cprq,
           sum(zsofsum) AS zs,
           sum(amount2ofsum) AS amount2ofsum,
           sum(amount3ofsum) AS amount3ofsum,
           sum(amount2ofsum - amount3ofsum) AS lr
    FROM sumhangkong
    GROUP BY cprq ORDER BY cprq;

CREATE VIEW srhangkong AS
    SELECT hangkong, cprq,
           sum(zsofsum) AS zs,
           sum(amount2ofsum) AS amount2ofsum,
           sum(amount3ofsum) AS amount3ofsum,
           sum(amount2ofsum - amount3ofsum) AS lr
    FROM sumhangkong
    GROUP BY hangkong, cprq ORDER BY hangkong, cprq;

CREATE VIEW srdpy AS
    SELECT dpy, cprq,
           sum(zsofsum) AS zs,
           sum(amount2ofsum) AS amount2ofsum,
           sum(amount3ofsum) AS amount3ofsum,
           sum(amount2ofsum - amount3ofsum) AS lr
    FROM sumgeren
    GROUP BY dpy, cprq ORDER BY dpy, cprq;
