-- Jet's expression functions and operators on the server, with the meaning
-- the program's own functions give them on SQLite (see JetFunctions): a
-- catalogue statement written for Jet gives the same answers on both engines.
-- Dates are the ISO text the archive keeps; numbers arrive as double precision.
-- Every function is created or replaced, so an older archive takes this file
-- again when it is opened.

-- Volatile, so that the planner never raises it while folding a CASE that does not choose it.
CREATE OR REPLACE FUNCTION jet_invalid() RETURNS text LANGUAGE plpgsql VOLATILE AS $$
BEGIN
    RAISE EXCEPTION '无效的过程调用或参数' USING ERRCODE = '22023';
END $$;

-- A value as Jet's CStr writes it: whole numbers as digits, others with 15 significant digits.
CREATE OR REPLACE FUNCTION jet_cstr(v text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT v $$;
CREATE OR REPLACE FUNCTION jet_cstr(v double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN v = trunc(v) AND abs(v) < 1e15 THEN trunc(v)::bigint::text ELSE v::numeric::text END $$;
CREATE OR REPLACE FUNCTION jet_cstr(v boolean) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN v THEN '-1' ELSE '0' END $$;

CREATE OR REPLACE FUNCTION jet_true(v boolean) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(v, false) $$;
CREATE OR REPLACE FUNCTION jet_true(v double precision) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(v <> 0, false) $$;
CREATE OR REPLACE FUNCTION jet_true(v text) RETURNS boolean LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(v::double precision <> 0, false) $$;
CREATE OR REPLACE FUNCTION jet_nz(v text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(v, '') $$;
CREATE OR REPLACE FUNCTION jet_nz(v double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(jet_cstr(v), '') $$;

-- & (Null as empty text), Mod, \ (operands rounded to whole numbers, half to even) and ^.
CREATE OR REPLACE FUNCTION jet_cat(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(a, '') || coalesce(b, '') $$;
CREATE OR REPLACE FUNCTION jet_cat(a double precision, b text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT jet_cat(jet_cstr(a), b) $$;
CREATE OR REPLACE FUNCTION jet_cat(a text, b double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT jet_cat(a, jet_cstr(b)) $$;
CREATE OR REPLACE FUNCTION jet_cat(a double precision, b double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT jet_cat(jet_cstr(a), jet_cstr(b)) $$;
CREATE OR REPLACE FUNCTION jet_mod(a double precision, b double precision) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$
    SELECT mod(round(a)::bigint, round(b)::bigint) $$;
CREATE OR REPLACE FUNCTION jet_idiv(a double precision, b double precision) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$
    SELECT round(a)::bigint / round(b)::bigint $$;
CREATE OR REPLACE FUNCTION jet_pow(a double precision, b double precision) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$
    SELECT power(a, b) $$;

-- Text.
CREATE OR REPLACE FUNCTION jet_left(s text, n double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT left(s, greatest(round(n)::integer, 0)) $$;
CREATE OR REPLACE FUNCTION jet_left(s double precision, n double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT jet_left(jet_cstr(s), n) $$;
CREATE OR REPLACE FUNCTION jet_right(s text, n double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN round(n) <= 0 THEN '' ELSE right(s, round(n)::integer) END $$;
CREATE OR REPLACE FUNCTION jet_right(s double precision, n double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT jet_right(jet_cstr(s), n) $$;
CREATE OR REPLACE FUNCTION jet_mid(s text, start double precision, len double precision DEFAULT NULL) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN s IS NULL OR start IS NULL THEN NULL
                WHEN round(start) < 1 THEN jet_invalid()
                WHEN len IS NULL THEN substr(s, round(start)::integer)
                ELSE substr(s, round(start)::integer, greatest(round(len)::integer, 0)) END $$;
CREATE OR REPLACE FUNCTION jet_mid(s double precision, start double precision, len double precision DEFAULT NULL) RETURNS text
LANGUAGE sql IMMUTABLE AS $$ SELECT jet_mid(jet_cstr(s), start, len) $$;
CREATE OR REPLACE FUNCTION jet_len(s text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT char_length(s)::bigint $$;
CREATE OR REPLACE FUNCTION jet_len(s double precision) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT jet_len(jet_cstr(s)) $$;
CREATE OR REPLACE FUNCTION jet_instr(start double precision, s text, sub text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN start IS NULL OR s IS NULL OR sub IS NULL THEN NULL
                WHEN round(start) < 1 THEN jet_invalid()::bigint
                WHEN sub = '' THEN CASE WHEN round(start) <= char_length(s) THEN round(start)::bigint ELSE 0 END
                WHEN strpos(lower(substr(s, round(start)::integer)), lower(sub)) = 0 THEN 0
                ELSE strpos(lower(substr(s, round(start)::integer)), lower(sub)) + round(start)::bigint - 1 END $$;
CREATE OR REPLACE FUNCTION jet_instr(s text, sub text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT jet_instr(1, s, sub) $$;
CREATE OR REPLACE FUNCTION jet_ucase(s text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT upper(s COLLATE "C") $$;
CREATE OR REPLACE FUNCTION jet_lcase(s text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT lower(s COLLATE "C") $$;
CREATE OR REPLACE FUNCTION jet_space(n double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT repeat(' ', greatest(round(n)::integer, 0)) $$;
CREATE OR REPLACE FUNCTION jet_string(n double precision, c text) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN c = '' THEN jet_invalid() ELSE repeat(left(c, 1), greatest(round(n)::integer, 0)) END $$;
CREATE OR REPLACE FUNCTION jet_string(n double precision, c double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT repeat(chr(round(c)::integer), greatest(round(n)::integer, 0)) $$;

-- Dates: the archive's ISO text, a #-literal form, or Jet's day number.
CREATE OR REPLACE FUNCTION jet_ts(v text) RETURNS timestamp LANGUAGE sql IMMUTABLE AS $$ SELECT trim(v)::timestamp $$;
CREATE OR REPLACE FUNCTION jet_ts(v double precision) RETURNS timestamp LANGUAGE sql IMMUTABLE AS $$
    SELECT timestamp '1899-12-30' + floor(v) * interval '1 day' + round((v - floor(v)) * 86400) * interval '1 second' $$;
CREATE OR REPLACE FUNCTION jet_iso(t timestamp) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN t::time = time '00:00' THEN to_char(t, 'YYYY-MM-DD') ELSE to_char(t, 'YYYY-MM-DD HH24:MI:SS') END $$;
CREATE OR REPLACE FUNCTION jet_year(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT extract(year FROM jet_ts(v))::bigint $$;
CREATE OR REPLACE FUNCTION jet_month(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT extract(month FROM jet_ts(v))::bigint $$;
CREATE OR REPLACE FUNCTION jet_day(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT extract(day FROM jet_ts(v))::bigint $$;
CREATE OR REPLACE FUNCTION jet_hour(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT extract(hour FROM jet_ts(v))::bigint $$;
CREATE OR REPLACE FUNCTION jet_minute(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT extract(minute FROM jet_ts(v))::bigint $$;
CREATE OR REPLACE FUNCTION jet_second(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT floor(extract(second FROM jet_ts(v)))::bigint $$;
CREATE OR REPLACE FUNCTION jet_weekday(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT extract(dow FROM jet_ts(v))::bigint + 1 $$;
CREATE OR REPLACE FUNCTION jet_datediff(i text, a text, b text) RETURNS bigint LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    x timestamp := jet_ts(a);
    y timestamp := jet_ts(b);
BEGIN
    IF i IS NULL OR a IS NULL OR b IS NULL THEN
        RETURN NULL;
    END IF;
    CASE lower(trim(i))
        WHEN 'yyyy' THEN RETURN extract(year FROM y) - extract(year FROM x);
        WHEN 'q' THEN RETURN (extract(year FROM y) - extract(year FROM x)) * 4 + (extract(quarter FROM y) - extract(quarter FROM x));
        WHEN 'm' THEN RETURN (extract(year FROM y) - extract(year FROM x)) * 12 + extract(month FROM y) - extract(month FROM x);
        WHEN 'y', 'd' THEN RETURN y::date - x::date;
        WHEN 'w' THEN RETURN trunc((y::date - x::date) / 7.0);
        WHEN 'ww' THEN RETURN ((y::date - extract(dow FROM y)::integer) - (x::date - extract(dow FROM x)::integer)) / 7;
        WHEN 'h' THEN RETURN floor(extract(epoch FROM y) / 3600) - floor(extract(epoch FROM x) / 3600);
        WHEN 'n' THEN RETURN floor(extract(epoch FROM y) / 60) - floor(extract(epoch FROM x) / 60);
        WHEN 's' THEN RETURN floor(extract(epoch FROM y)) - floor(extract(epoch FROM x));
        ELSE RETURN jet_invalid()::bigint;
    END CASE;
END $$;
CREATE OR REPLACE FUNCTION jet_datepart(i text, v text) RETURNS bigint LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    t timestamp := jet_ts(v);
BEGIN
    IF i IS NULL OR v IS NULL THEN
        RETURN NULL;
    END IF;
    CASE lower(trim(i))
        WHEN 'yyyy' THEN RETURN extract(year FROM t);
        WHEN 'q' THEN RETURN extract(quarter FROM t);
        WHEN 'm' THEN RETURN extract(month FROM t);
        WHEN 'y' THEN RETURN extract(doy FROM t);
        WHEN 'd' THEN RETURN extract(day FROM t);
        WHEN 'w' THEN RETURN extract(dow FROM t) + 1;
        WHEN 'ww' THEN RETURN jet_datediff('ww', to_char(t, 'YYYY') || '-01-01', v) + 1;
        WHEN 'h' THEN RETURN extract(hour FROM t);
        WHEN 'n' THEN RETURN extract(minute FROM t);
        WHEN 's' THEN RETURN floor(extract(second FROM t));
        ELSE RETURN jet_invalid()::bigint;
    END CASE;
END $$;
CREATE OR REPLACE FUNCTION jet_dateadd(i text, n double precision, v text) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    t timestamp := jet_ts(v);
    k integer := round(n)::integer;
BEGIN
    IF i IS NULL OR n IS NULL OR v IS NULL THEN
        RETURN NULL;
    END IF;
    CASE lower(trim(i))
        WHEN 'yyyy' THEN RETURN jet_iso(t + make_interval(years => k));
        WHEN 'q' THEN RETURN jet_iso(t + make_interval(months => 3 * k));
        WHEN 'm' THEN RETURN jet_iso(t + make_interval(months => k));
        WHEN 'y', 'd', 'w' THEN RETURN jet_iso(t + make_interval(days => k));
        WHEN 'ww' THEN RETURN jet_iso(t + make_interval(days => 7 * k));
        WHEN 'h' THEN RETURN jet_iso(t + make_interval(hours => k));
        WHEN 'n' THEN RETURN jet_iso(t + make_interval(mins => k));
        WHEN 's' THEN RETURN jet_iso(t + make_interval(secs => k));
        ELSE RETURN jet_invalid();
    END CASE;
END $$;
CREATE OR REPLACE FUNCTION jet_dateserial(y double precision, m double precision, d double precision) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT to_char(make_date(CASE WHEN round(y) BETWEEN 0 AND 29 THEN round(y)::integer + 2000
                                  WHEN round(y) BETWEEN 30 AND 99 THEN round(y)::integer + 1900
                                  ELSE round(y)::integer END, 1, 1)
                   + make_interval(months => round(m)::integer - 1) + make_interval(days => round(d)::integer - 1),
                   'YYYY-MM-DD') $$;
CREATE OR REPLACE FUNCTION jet_datevalue(v text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT to_char(jet_ts(v), 'YYYY-MM-DD') $$;
CREATE OR REPLACE FUNCTION jet_cdate(v text) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT jet_iso(jet_ts(v)) $$;
CREATE OR REPLACE FUNCTION jet_cdate(v double precision) RETURNS text LANGUAGE sql IMMUTABLE AS $$ SELECT jet_iso(jet_ts(v)) $$;

-- Numbers.
CREATE OR REPLACE FUNCTION jet_int(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT floor(v) $$;
CREATE OR REPLACE FUNCTION jet_fix(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT trunc(v) $$;
-- Half to even, as Jet rounds (round() of double precision rounds so).
CREATE OR REPLACE FUNCTION jet_round_even(v double precision, places double precision DEFAULT 0) RETURNS double precision
LANGUAGE sql IMMUTABLE AS $$ SELECT round(v * (10.0::double precision ^ round(places))) / (10.0::double precision ^ round(places)) $$;
CREATE OR REPLACE FUNCTION jet_sgn(v double precision) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT sign(v)::bigint $$;
CREATE OR REPLACE FUNCTION jet_sqr(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT sqrt(v) $$;
CREATE OR REPLACE FUNCTION jet_cint(v double precision) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT round(v)::bigint $$;
CREATE OR REPLACE FUNCTION jet_cint(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT jet_cint(trim(v)::double precision) $$;
CREATE OR REPLACE FUNCTION jet_clng(v double precision) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT round(v)::bigint $$;
CREATE OR REPLACE FUNCTION jet_clng(v text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $$ SELECT jet_clng(trim(v)::double precision) $$;
CREATE OR REPLACE FUNCTION jet_cdbl(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT v $$;
CREATE OR REPLACE FUNCTION jet_cdbl(v text) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT trim(v)::double precision $$;
CREATE OR REPLACE FUNCTION jet_ccur(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT round(v * 10000) / 10000 $$;
CREATE OR REPLACE FUNCTION jet_ccur(v text) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT jet_ccur(trim(v)::double precision) $$;
CREATE OR REPLACE FUNCTION jet_val(v text) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce((regexp_match(regexp_replace(v, '[ \t\r\n]', '', 'g'),
                                  '^[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?'))[1]::double precision, 0) $$;
CREATE OR REPLACE FUNCTION jet_val(v double precision) RETURNS double precision LANGUAGE sql IMMUTABLE AS $$ SELECT v $$;

-- Format's named formats; null for a pattern that is not one.
CREATE OR REPLACE FUNCTION jet_named_format(pattern text, value text) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    number double precision;
BEGIN
    CASE lower(trim(pattern))
        WHEN 'general number' THEN
            RETURN value;
        WHEN 'yes/no', 'true/false', 'on/off' THEN
            IF value !~ '^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$' THEN
                RETURN value;
            END IF;
            number := trim(value)::double precision;
            RETURN CASE lower(trim(pattern)) WHEN 'yes/no' THEN CASE WHEN number <> 0 THEN 'Yes' ELSE 'No' END
                                             WHEN 'true/false' THEN CASE WHEN number <> 0 THEN 'True' ELSE 'False' END
                                             ELSE CASE WHEN number <> 0 THEN 'On' ELSE 'Off' END END;
        WHEN 'general date' THEN
            RETURN CASE WHEN value ~ '\d:\d' AND jet_ts(value)::time <> time '00:00' THEN jet_format_date(value, 'yyyy/m/d h:nn:ss')
                        ELSE jet_format_date(value, 'yyyy/m/d') END;
        ELSE
            RETURN NULL;
    END CASE;
END $$;
-- Format's named formats that stand for a pattern.
CREATE OR REPLACE FUNCTION jet_format_pattern(pattern text) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE lower(trim(pattern)) WHEN 'fixed' THEN '0.00' WHEN 'standard' THEN '#,##0.00' WHEN 'percent' THEN '0.00%'
                                     WHEN 'short date' THEN 'yyyy/m/d' WHEN 'long date' THEN 'yyyy年m月d日'
                                     WHEN 'short time' THEN 'hh:nn' WHEN 'long time' THEN 'h:nn:ss'
                                     ELSE pattern END $$;

-- format(value, pattern) as the program's SQL uses it; the same results as the
-- program's own format() on SQLite for the values the archive stores.
CREATE OR REPLACE FUNCTION jet_format_number(value double precision, pattern text) RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    body text := pattern;
    percent boolean := right(pattern, 1) = '%';
    dot integer;
    int_part text;
    frac_part text;
    decimals integer;
    required integer;
    grouped boolean;
    min_int integer;
    scaled double precision;
    rounded numeric;
    txt text;
    int_digits integer;
BEGIN
    IF percent THEN
        body := left(body, -1);
        value := value * 100.0;
    END IF;
    dot := strpos(body, '.');
    int_part := CASE WHEN dot = 0 THEN body ELSE left(body, dot - 1) END;
    frac_part := CASE WHEN dot = 0 THEN '' ELSE substr(body, dot + 1) END;
    decimals := length(frac_part) - length(replace(replace(frac_part, '0', ''), '#', ''));
    required := length(frac_part) - length(replace(frac_part, '0', ''));
    grouped := strpos(int_part, ',') > 0;
    min_int := length(int_part) - length(replace(int_part, '0', ''));
    -- Half away from zero on the decimal the number reads as (15 digits): 2.675 gives 2.68.
    scaled := value * (10.0::double precision ^ decimals);
    IF abs(scaled) < 1e15 THEN
        rounded := round(round(scaled::numeric) / (10::numeric ^ decimals), decimals);
    ELSE
        rounded := round(value::numeric, decimals);
    END IF;
    txt := abs(rounded)::text;
    -- '#' places after the point are written only where they hold a digit other than a last 0.
    WHILE decimals > required AND right(txt, 1) = '0' AND strpos(txt, '.') > 0 LOOP
        txt := left(txt, -1);
        decimals := decimals - 1;
    END LOOP;
    int_digits := strpos(txt, '.') - 1;
    IF int_digits < 0 THEN
        int_digits := length(txt);
    END IF;
    IF left(txt, 1) = '0' AND int_digits = 1 AND min_int = 0 THEN
        txt := substr(txt, 2);
    ELSIF int_digits < min_int THEN
        txt := repeat('0', min_int - int_digits) || txt;
    END IF;
    IF grouped THEN
        int_digits := strpos(txt, '.') - 1;
        IF int_digits < 0 THEN
            int_digits := length(txt);
        END IF;
        FOR k IN REVERSE int_digits - 3 .. 1 BY 3 LOOP
            txt := left(txt, k) || ',' || substr(txt, k + 1);
        END LOOP;
    END IF;
    IF rounded < 0 THEN
        txt := '-' || txt;
    END IF;
    IF percent THEN
        txt := txt || '%';
    END IF;
    RETURN txt;
END $$;

CREATE OR REPLACE FUNCTION jet_format_date(value text, pattern text) RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    parts text[];
    yy integer; mo integer; dd integer; hh integer := 0; mi integer := 0; ss integer := 0;
    twelve boolean := pattern ~* 'am/?pm';
    after_hour boolean := false;
    out text := '';
    i integer := 1;
    n integer := length(pattern);
    c text;
    run integer;
    v integer;
    d text;
BEGIN
    parts := regexp_match(value, '^\s*(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$');
    IF parts IS NULL THEN
        RETURN value;
    END IF;
    yy := parts[1]::integer; mo := parts[2]::integer; dd := parts[3]::integer;
    IF parts[4] IS NOT NULL THEN
        hh := parts[4]::integer; mi := parts[5]::integer; ss := coalesce(parts[6], '0')::integer;
    END IF;
    IF yy < 1 OR mo NOT BETWEEN 1 AND 12 OR dd < 1 OR hh > 23 OR mi > 59 OR ss > 59
       OR dd > extract(day FROM make_date(yy, mo, 1) + interval '1 month - 1 day') THEN
        RETURN value;
    END IF;
    WHILE i <= n LOOP
        c := lower(substr(pattern, i, 1));
        IF c = '"' THEN
            -- Text in double quotes is written as it stands.
            run := strpos(substr(pattern, i + 1), '"');
            run := CASE WHEN run = 0 THEN n - i + 1 ELSE run END;
            out := out || substr(pattern, i + 1, run - 1);
            i := i + run + 1;
        ELSIF c = '\' THEN
            out := out || substr(pattern, i + 1, 1);
            i := i + 2;
        ELSIF lower(substr(pattern, i, 4)) = 'ampm' THEN
            out := out || CASE WHEN hh < 12 THEN 'AM' ELSE 'PM' END;
            i := i + 4;
        ELSIF lower(substr(pattern, i, 5)) = 'am/pm' THEN
            d := CASE WHEN hh < 12 THEN 'am' ELSE 'pm' END;
            out := out || CASE WHEN substr(pattern, i, 1) = 'A' THEN upper(d) ELSE d END;
            i := i + 5;
        ELSIF c IN ('y', 'm', 'n', 'd', 'h', 's') THEN
            run := 0;
            WHILE i + run <= n AND lower(substr(pattern, i + run, 1)) = c LOOP
                run := run + 1;
            END LOOP;
            IF c = 'y' THEN
                out := out || CASE WHEN run >= 3 THEN yy::text ELSE lpad((yy % 100)::text, 2, '0') END;
            ELSE
                v := CASE c WHEN 'm' THEN CASE WHEN after_hour THEN mi ELSE mo END
                            WHEN 'n' THEN mi WHEN 'd' THEN dd WHEN 's' THEN ss
                            ELSE CASE WHEN NOT twelve THEN hh WHEN hh % 12 = 0 THEN 12 ELSE hh % 12 END END;
                out := out || CASE WHEN run >= 2 THEN lpad(v::text, 2, '0') ELSE v::text END;
                -- "m" after an hour is the minute.
                IF c = 'h' THEN
                    after_hour := true;
                ELSIF c = 'm' THEN
                    after_hour := false;
                END IF;
            END IF;
            i := i + run;
        ELSE
            out := out || substr(pattern, i, 1);
            i := i + 1;
        END IF;
    END LOOP;
    RETURN out;
END $$;

CREATE OR REPLACE FUNCTION jet_format(value text, pattern text) RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    IF value IS NULL THEN
        RETURN NULL;
    END IF;
    IF pattern IS NULL OR pattern = '' THEN
        RETURN value;
    END IF;
    IF jet_named_format(pattern, value) IS NOT NULL THEN
        RETURN jet_named_format(pattern, value);
    END IF;
    pattern := jet_format_pattern(pattern);
    IF pattern ~* '[ydhsnm]' THEN
        RETURN jet_format_date(value, pattern);
    END IF;
    IF value !~ '^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$' THEN
        RETURN value;
    END IF;
    RETURN jet_format_number(trim(value)::double precision, pattern);
END $$;

CREATE OR REPLACE FUNCTION jet_format(value double precision, pattern text) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN value IS NULL THEN NULL
                WHEN jet_named_format(pattern, jet_cstr(value)) IS NOT NULL THEN jet_named_format(pattern, jet_cstr(value))
                WHEN pattern IS NULL OR pattern = '' OR jet_format_pattern(pattern) ~* '[ydhsnm]'
                     OR value IN ('NaN', 'Infinity', '-Infinity')
                    THEN jet_format(value::text, pattern)
                ELSE jet_format_number(value, jet_format_pattern(pattern)) END
$$;


-- A command's statement that must have found or changed a row: none, and the
-- command fails (TV001) with everything it wrote, in the round trip of its commit.
CREATE OR REPLACE FUNCTION jet_require(rows_found bigint) RETURNS bigint LANGUAGE plpgsql VOLATILE AS $$
BEGIN
    IF rows_found = 0 THEN
        RAISE EXCEPTION 'no row found or changed' USING ERRCODE = 'TV001';
    END IF;
    RETURN rows_found;
END $$;
