-- Tables of the delivered database. Physical column order is the order the
-- windows bind by position; text columns compare without regard to case.

CREATE TABLE czyzd (
    czy_no   INTEGER PRIMARY KEY AUTOINCREMENT,
    czy_name TEXT COLLATE NOCASE NOT NULL UNIQUE,
    -- Passwords are compared exactly, so this one column keeps binary collation.
    czy_pass TEXT COLLATE BINARY,
    sys_tag  BOOLEAN NOT NULL DEFAULT 0
);

CREATE TABLE czy (
    name   TEXT COLLATE NOCASE NOT NULL,
    czy_id INTEGER,
    nr     TEXT COLLATE NOCASE NOT NULL
);
CREATE INDEX czy_name ON czy(name);

CREATE TABLE czyrz (
    tag       INTEGER PRIMARY KEY AUTOINCREMENT,
    czyname   TEXT COLLATE NOCASE,
    czyxm     TEXT COLLATE NOCASE,
    init_time DATETIME DEFAULT (datetime('now', 'localtime')),
    last_time DATETIME
);
-- Finds the open entry of a window caption without a scan.
CREATE INDEX czyrz_open_entry ON czyrz(czyxm) WHERE last_time IS NULL;
CREATE INDEX czyrz_init_time ON czyrz(init_time);

CREATE TABLE dh_codedict (
    table_code      TEXT COLLATE NOCASE NOT NULL,
    table_name      TEXT COLLATE NOCASE,
    colm_code       TEXT COLLATE NOCASE NOT NULL,
    colm_name       TEXT COLLATE NOCASE,
    colm_type       TEXT COLLATE NOCASE,
    colm_cd         INTEGER,
    nullbj          TEXT COLLATE NOCASE,
    can_show        TEXT COLLATE NOCASE,
    xh              INTEGER,
    CON_TYPE        TEXT COLLATE NOCASE,
    check_table     TEXT COLLATE NOCASE,
    check_colm      TEXT COLLATE NOCASE,
    check_value     TEXT COLLATE NOCASE,
    check_colmvalue TEXT COLLATE NOCASE
);
CREATE INDEX dh_codedict_table ON dh_codedict(table_code, xh);

CREATE TABLE pr_codedict (
    xh         INTEGER,
    table_code TEXT COLLATE NOCASE,
    table_name TEXT COLLATE NOCASE,
    colm_code  TEXT COLLATE NOCASE,
    colm_name  TEXT COLLATE NOCASE,
    colm_type  TEXT COLLATE NOCASE,
    colm_cd    INTEGER,
    sum_tag    TEXT COLLATE NOCASE,
    colm_dq    TEXT COLLATE NOCASE,
    can_show   TEXT COLLATE NOCASE,
    memo       TEXT COLLATE NOCASE
);
CREATE INDEX pr_codedict_table ON pr_codedict(table_code, xh);

-- Value lists. Columns in the order of their own dictionary rows.
CREATE TABLE dict (
    class TEXT COLLATE NOCASE NOT NULL,
    lx    INTEGER NOT NULL,
    jm    TEXT COLLATE NOCASE,
    sm    TEXT COLLATE NOCASE NOT NULL,
    bz    TEXT COLLATE NOCASE,
    UNIQUE (class, lx)
);

CREATE TABLE pr_report (
    xh                     INTEGER NOT NULL PRIMARY KEY,
    report_name            TEXT COLLATE NOCASE NOT NULL,
    report_sql             TEXT COLLATE NOCASE NOT NULL,
    report_findtjtablename TEXT COLLATE NOCASE,
    report_Prtjtablename   TEXT COLLATE NOCASE
);

-- Customers: a hidden counter, then the dictionary columns in slot order.
CREATE TABLE hyda (
    id    INTEGER PRIMARY KEY AUTOINCREMENT,
    kh    TEXT COLLATE NOCASE NOT NULL UNIQUE,
    xm    TEXT COLLATE NOCASE NOT NULL,
    sfzh  TEXT COLLATE NOCASE,
    xb    TEXT COLLATE NOCASE,
    csrq  DATE,
    sj    TEXT COLLATE NOCASE,
    dh    TEXT COLLATE NOCASE,
    dw    TEXT COLLATE NOCASE,
    zw    TEXT COLLATE NOCASE,
    dz    TEXT COLLATE NOCASE,
    yb    TEXT COLLATE NOCASE,
    email TEXT COLLATE NOCASE,
    hyjb  TEXT COLLATE NOCASE,
    cyhk  TEXT COLLATE NOCASE,
    bz    TEXT COLLATE NOCASE,
    lxr   TEXT COLLATE NOCASE,
    jsjf  TEXT COLLATE NOCASE DEFAULT '1',
    djrc  DATE,
    hyzt  TEXT COLLATE NOCASE DEFAULT '有效',
    djr   TEXT COLLATE NOCASE
);
CREATE INDEX hyda_xm ON hyda(xm);

-- Tickets. Column k of the itinerary grid is the k-th visible dictionary row.
CREATE TABLE hyxc (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    kh       TEXT COLLATE NOCASE NOT NULL,
    cprq     DATE,
    qfrq     DATE,
    daoda    TEXT COLLATE NOCASE,
    kaishi   TEXT COLLATE NOCASE,
    hbh      TEXT COLLATE NOCASE,
    cw       TEXT COLLATE NOCASE,
    piaohao  TEXT COLLATE NOCASE,
    ZS       REAL DEFAULT 1,
    amount1  REAL DEFAULT 0,
    zk       REAL,
    amount2  REAL DEFAULT 0,
    jfbl     REAL DEFAULT 0,
    hangkong TEXT COLLATE NOCASE,
    qfsj     TEXT COLLATE NOCASE,
    neivai   TEXT COLLATE NOCASE,
    bx       REAL,
    amount3  REAL DEFAULT 0,
    sxf      REAL,
    zt       TEXT COLLATE NOCASE DEFAULT '正常',
    dpy      TEXT COLLATE NOCASE,
    spy      TEXT COLLATE NOCASE,
    czy      TEXT COLLATE NOCASE,
    lrrq     DATE,
    bz       TEXT COLLATE NOCASE,
    jifen    REAL DEFAULT 0,
    jifenyue REAL DEFAULT 0
);
CREATE INDEX hyxc_kh ON hyxc(kh);
CREATE INDEX hyxc_cprq ON hyxc(cprq);

CREATE TABLE hyxczhuanrang (
    kh          TEXT COLLATE NOCASE,
    kaishi      TEXT COLLATE NOCASE,
    daoda       TEXT COLLATE NOCASE,
    amount1     REAL,
    amount2     REAL,
    amount3     REAL,
    hangkong    TEXT COLLATE NOCASE,
    neivai      TEXT COLLATE NOCASE,
    jifen       REAL,
    jifenyue    REAL,
    zhuanrangkh TEXT COLLATE NOCASE,
    zrsj        DATETIME DEFAULT (datetime('now', 'localtime'))
);
CREATE INDEX hyxczhuanrang_kh ON hyxczhuanrang(kh);

CREATE TABLE jifenallow (
    kh   TEXT COLLATE NOCASE,
    czy  TEXT COLLATE NOCASE,
    jifen REAL,
    bz   TEXT COLLATE NOCASE,
    qcsj DATETIME DEFAULT (datetime('now', 'localtime'))
);
CREATE INDEX jifenallow_kh ON jifenallow(kh);

-- Statistics sources. Refunded and voided tickets are not sales. Each view
-- keeps the ticket date, so a condition can pick a period.
CREATE VIEW SUMhangkong AS
    SELECT hangkong, cprq, neivai,
           sum(ZS) AS ZSOFSUM,
           sum(amount1 * ZS) AS AMOUNT1OFSUM,
           sum(amount2 * ZS) AS AMOUNT2OFSUM,
           sum(amount3 * ZS) AS AMOUNT3OFSUM
    FROM hyxc
    WHERE zt IS NULL OR zt = '正常'
    GROUP BY hangkong, cprq, neivai;

CREATE VIEW SUMgeren AS
    SELECT dpy, cprq, hangkong,
           sum(ZS) AS ZSOFSUM,
           sum(amount1 * ZS) AS AMOUNT1OFSUM,
           sum(amount2 * ZS) AS AMOUNT2OFSUM,
           sum(amount3 * ZS) AS AMOUNT3OFSUM
    FROM hyxc
    WHERE zt IS NULL OR zt = '正常'
    GROUP BY dpy, cprq, hangkong;

CREATE VIEW SUMdaoda AS
    SELECT kaishi, daoda, cprq,
           sum(ZS) AS ZSOFSUM,
           sum(amount1 * ZS) AS AMOUNT1OFSUM,
           sum(amount2 * ZS) AS AMOUNT2OFSUM,
           sum(amount3 * ZS) AS AMOUNT3OFSUM
    FROM hyxc
    WHERE zt IS NULL OR zt = '正常'
    GROUP BY kaishi, daoda, cprq;

CREATE VIEW SUMJIFEN AS
    SELECT hyda.id AS id, hyda.kh AS kh, hyda.xm AS xm, hyda.sj AS sj, hyda.hyjb AS hyjb,
           hyda.djrc AS djrc,
           (SELECT count(*) FROM hyxc WHERE hyxc.kh = hyda.kh) AS cs,
           (SELECT total(jifen) FROM hyxc WHERE hyxc.kh = hyda.kh) AS jifen,
           (SELECT total(jifenyue) FROM hyxc WHERE hyxc.kh = hyda.kh) AS jifenyue
    FROM hyda;

-- Period income reports of the catalogue.
CREATE VIEW SRriqi AS
    SELECT cprq,
           sum(ZS) AS ZS,
           sum(amount2 * ZS) AS AMOUNT2OFSUM,
           sum(amount3 * ZS) AS AMOUNT3OFSUM,
           sum((amount2 - amount3) * ZS) AS LR
    FROM hyxc
    WHERE zt IS NULL OR zt = '正常'
    GROUP BY cprq;

CREATE VIEW SRhangkong AS
    SELECT hangkong, cprq,
           sum(ZS) AS ZS,
           sum(amount2 * ZS) AS AMOUNT2OFSUM,
           sum(amount3 * ZS) AS AMOUNT3OFSUM,
           sum((amount2 - amount3) * ZS) AS LR
    FROM hyxc
    WHERE zt IS NULL OR zt = '正常'
    GROUP BY hangkong, cprq;

CREATE VIEW SRdpy AS
    SELECT dpy, cprq,
           sum(ZS) AS ZS,
           sum(amount2 * ZS) AS AMOUNT2OFSUM,
           sum(amount3 * ZS) AS AMOUNT3OFSUM,
           sum((amount2 - amount3) * ZS) AS LR
    FROM hyxc
    WHERE zt IS NULL OR zt = '正常'
    GROUP BY dpy, cprq;
