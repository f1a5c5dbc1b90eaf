-- Who may do what on a server archive: the server checks it, not the program.
-- Run by the role that owns the database (it needs CREATEROLE) when an archive
-- is created or copied onto a server, and again whenever the owner opens an
-- archive that lacks its roles (an older one, or one copied with CREATE
-- DATABASE ... TEMPLATE). Everything here may run any number of times.
--
-- Roles are shared by every database of a cluster, so their names carry the
-- database's name:
--   <db>_lobby     logs in before anyone has: reads the operator names, nothing else
--   <db>_operators every operator: the dictionaries, the own log rows
--   <db>_<right>   one group per right of the rights table (<db>_客户登记, ...)
--   <db>/<name>    one login role per operator, its password the operator's

CREATE OR REPLACE FUNCTION torvane_role_name(kind text, name text) RETURNS text
LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT current_database() || CASE WHEN kind = 'operator' THEN '/' ELSE '_' END || name
$$;

-- The twelve rights, in the order of the rights table.
CREATE OR REPLACE FUNCTION torvane_rights() RETURNS SETOF text
LANGUAGE sql IMMUTABLE SET search_path = pg_catalog AS $$
    SELECT unnest(ARRAY['编码设置', '客户登记', '积分转让', '客户积分查询', '航空公司出票统计', '个人出票统计',
                        '航线出票统计', '会员行程查询', '时段收入查询', '操作员设置', '操作员日志', '数据备份'])
$$;

-- The operator a session runs as (null for the owner, the lobby or anyone else).
CREATE OR REPLACE FUNCTION torvane_session_operator() RETURNS text
LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT CASE WHEN starts_with(session_user::text, current_database() || '/')
                THEN substr(session_user::text, length(current_database()) + 2) END
$$;

CREATE OR REPLACE FUNCTION torvane_is_owner() RETURNS boolean
LANGUAGE sql STABLE SET search_path = pg_catalog AS $$
    SELECT d.datdba = r.oid FROM pg_database d, pg_roles r
    WHERE d.datname = current_database() AND r.rolname = session_user
$$;

-- An operator's role gets the groups of the rights its czy rows name, and loses the others.
CREATE OR REPLACE FUNCTION torvane_sync_rights(operator_name text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    role_name text := torvane_role_name('operator', operator_name);
    right_name text;
BEGIN
    IF to_regrole(quote_ident(role_name)) IS NULL THEN
        RETURN;
    END IF;
    FOR right_name IN SELECT torvane_rights() LOOP
        IF EXISTS (SELECT 1 FROM czy WHERE czy.name = operator_name AND czy.nr = right_name) THEN
            EXECUTE format('GRANT %I TO %I', torvane_role_name('group', right_name), role_name);
        ELSIF pg_has_role(role_name, torvane_role_name('group', right_name), 'MEMBER') THEN
            EXECUTE format('REVOKE %I FROM %I', torvane_role_name('group', right_name), role_name);
        END IF;
    END LOOP;
END $$;

-- A new account gets a login role without a password (it cannot log in until
-- one is set); a role of that name left over from a dropped database of the
-- same name is taken over with its password and rights cleared.
CREATE OR REPLACE FUNCTION torvane_make_operator(operator_name text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    role_name text := torvane_role_name('operator', operator_name);
BEGIN
    IF octet_length(role_name) > 63 THEN
        RAISE EXCEPTION '操作员姓名过长，服务器不能为其建立登录' USING ERRCODE = '22001';
    END IF;
    IF to_regrole(quote_ident(role_name)) IS NULL THEN
        EXECUTE format('CREATE ROLE %I LOGIN INHERIT', role_name);
    ELSE
        EXECUTE format('ALTER ROLE %I LOGIN INHERIT PASSWORD NULL', role_name);
    END IF;
    EXECUTE format('GRANT %I TO %I', torvane_role_name('group', 'operators'), role_name);
    PERFORM torvane_sync_rights(operator_name);
END $$;

CREATE OR REPLACE FUNCTION torvane_czyzd_roles() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    operator_name text;
BEGIN
    IF TG_OP = 'INSERT' THEN
        FOR operator_name IN SELECT czy_name FROM new_rows LOOP
            PERFORM torvane_make_operator(operator_name);
        END LOOP;
    ELSE
        FOR operator_name IN SELECT czy_name FROM old_rows LOOP
            EXECUTE format('DROP ROLE IF EXISTS %I', torvane_role_name('operator', operator_name));
        END LOOP;
    END IF;
    RETURN NULL;
END $$;

CREATE OR REPLACE FUNCTION torvane_czy_roles() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    operator_name text;
BEGIN
    IF TG_OP = 'INSERT' THEN
        FOR operator_name IN SELECT DISTINCT name FROM new_rows LOOP
            PERFORM torvane_sync_rights(operator_name);
        END LOOP;
    ELSE
        FOR operator_name IN SELECT DISTINCT name FROM old_rows LOOP
            PERFORM torvane_sync_rights(operator_name);
        END LOOP;
    END IF;
    RETURN NULL;
END $$;

-- The server keeps no password material in the archive: the role holds it.
CREATE OR REPLACE FUNCTION torvane_czyzd_no_password() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    NEW.czy_pass := NULL;
    RETURN NEW;
END $$;

-- A system account goes only by the owner's hand.
CREATE OR REPLACE FUNCTION torvane_czyzd_keep_system() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF OLD.sys_tag AND NOT torvane_is_owner() THEN
        RAISE EXCEPTION '系统帐号“%”不能删除', OLD.czy_name USING ERRCODE = '42501';
    END IF;
    RETURN OLD;
END $$;

-- An operator writes log rows in its own name only.
CREATE OR REPLACE FUNCTION torvane_czyrz_own() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF torvane_session_operator() IS NOT NULL AND NEW.czyname IS DISTINCT FROM torvane_session_operator()::jet_text THEN
        RAISE EXCEPTION '只能以本人名义记录操作员日志' USING ERRCODE = '42501';
    END IF;
    RETURN NEW;
END $$;

-- Closes the calling operator's open log entries of one window.
CREATE OR REPLACE FUNCTION torvane_log_close(content text) RETURNS integer
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    closed integer;
BEGIN
    UPDATE czyrz SET last_time = jet_now()
    WHERE czyxm = content::jet_text AND last_time IS NULL
      AND (torvane_session_operator() IS NULL OR czyname = torvane_session_operator()::jet_text);
    GET DIAGNOSTICS closed = ROW_COUNT;
    RETURN closed;
END $$;

-- Sets an operator's password from a SCRAM verifier made by the client (the
-- clear password never reaches the server). The owner may set anyone's, an
-- operator its own, a holder of 操作员设置 that of an operator who is no system account.
CREATE OR REPLACE FUNCTION torvane_set_password(operator_name text, verifier text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF verifier IS NULL OR NOT starts_with(verifier, 'SCRAM-SHA-256$') THEN
        RAISE EXCEPTION '口令须以 SCRAM-SHA-256 形式给出' USING ERRCODE = '22023';
    END IF;
    IF NOT EXISTS (SELECT 1 FROM czyzd WHERE czy_name = operator_name::jet_text) THEN
        RAISE EXCEPTION '没有名为“%”的操作员', operator_name USING ERRCODE = '42704';
    END IF;
    IF NOT torvane_is_owner() AND torvane_session_operator() IS DISTINCT FROM operator_name
       AND NOT (pg_has_role(session_user, torvane_role_name('group', '操作员设置'), 'MEMBER')
                AND EXISTS (SELECT 1 FROM czyzd WHERE czy_name = operator_name::jet_text AND NOT sys_tag)) THEN
        RAISE EXCEPTION '无权设置操作员“%”的口令', operator_name USING ERRCODE = '42501';
    END IF;
    IF to_regrole(quote_ident(torvane_role_name('operator', operator_name))) IS NULL THEN
        PERFORM torvane_make_operator(operator_name);
    END IF;
    EXECUTE format('ALTER ROLE %I PASSWORD %L', torvane_role_name('operator', operator_name), verifier);
END $$;

-- The roles, their grants and the operators' roles, as the archive is now.
-- `fresh`: the archive was just created or copied here, so a role of one of its
-- operators is a leftover of another archive of the same name and is made anew.
CREATE OR REPLACE FUNCTION torvane_setup_roles(fresh boolean) RETURNS void
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    lobby text := torvane_role_name('group', 'lobby');
    everyone text := torvane_role_name('group', 'operators');
    right_name text;
    grantee text;
    object text;
    operator_name text;
BEGIN
    IF to_regrole(quote_ident(lobby)) IS NULL THEN
        -- Its password is no secret: it opens nothing but the operator names.
        EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L', lobby, lobby);
    END IF;
    IF to_regrole(quote_ident(everyone)) IS NULL THEN
        EXECUTE format('CREATE ROLE %I NOLOGIN', everyone);
    END IF;
    FOR right_name IN SELECT torvane_rights() LOOP
        IF to_regrole(quote_ident(torvane_role_name('group', right_name))) IS NULL THEN
            EXECUTE format('CREATE ROLE %I NOLOGIN', torvane_role_name('group', right_name));
        END IF;
    END LOOP;

    -- Only our roles reach this database; nobody but the owner creates anything in it.
    EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database());
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO %I, %I', current_database(), lobby, everyone);
    REVOKE CREATE ON SCHEMA public FROM PUBLIC;

    -- Start from nothing, so an upgrade takes away what is no longer granted.
    FOR grantee IN SELECT lobby UNION ALL SELECT everyone
                   UNION ALL SELECT torvane_role_name('group', r) FROM torvane_rights() r LOOP
        EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA public FROM %I', grantee);
        EXECUTE format('REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM %I', grantee);
    END LOOP;
    REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC;
    REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM PUBLIC;

    EXECUTE format('GRANT SELECT (czy_no, czy_name, sys_tag) ON czyzd TO %I, %I', lobby, everyone);

    EXECUTE format('GRANT SELECT ON dh_codedict, dict, pr_report, czy, srriqi, srhangkong, srdpy TO %I', everyone);
    EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON pr_codedict TO %I', everyone);
    EXECUTE format('GRANT INSERT (czyname, czyxm, init_time, last_time) ON czyrz TO %I', everyone);

    FOR right_name, object IN VALUES
        ('编码设置', 'SELECT, INSERT, UPDATE, DELETE ON dict'),
        ('客户登记', 'SELECT, INSERT, UPDATE, DELETE ON hyda, hyxc'),
        ('客户登记', 'SELECT, INSERT ON jifenallow'),
        ('客户登记', 'SELECT ON sumkh, sumjifen, hyxczhuanrang'),
        ('积分转让', 'SELECT ON hyda, hyxc, hyxczhuanrang'),
        ('积分转让', 'UPDATE (kh) ON hyxc'),
        ('积分转让', 'INSERT ON hyxczhuanrang'),
        ('客户积分查询', 'SELECT ON sumjifen, sumkh, hyda, hyxc, jifenallow, hyxczhuanrang'),
        ('航空公司出票统计', 'SELECT ON sumhangkong'),
        ('个人出票统计', 'SELECT ON sumgeren'),
        ('航线出票统计', 'SELECT ON sumdaoda'),
        ('会员行程查询', 'SELECT ON hyxc, hyda'),
        ('时段收入查询', 'SELECT ON sumhangkong, sumgeren, sumdaoda'),
        ('操作员设置', 'SELECT (czy_no, czy_name, sys_tag), INSERT (czy_name), DELETE ON czyzd'),
        ('操作员设置', 'SELECT, INSERT, DELETE ON czy'),
        ('操作员日志', 'SELECT, DELETE ON czyrz')
    LOOP
        EXECUTE format('GRANT %s TO %I', object, torvane_role_name('group', right_name));
    END LOOP;
    -- A backup is the whole archive (on a server czyzd holds no passwords).
    EXECUTE format('GRANT SELECT ON ALL TABLES IN SCHEMA public TO %I', torvane_role_name('group', '数据备份'));
    -- The counters go with it, so numbers handed out never come round again.
    EXECUTE format('GRANT SELECT ON ALL SEQUENCES IN SCHEMA public TO %I', torvane_role_name('group', '数据备份'));

    -- The functions that act with the owner's rights are for those named here only.
    REVOKE ALL ON FUNCTION torvane_sync_rights(text), torvane_make_operator(text), torvane_set_password(text, text),
        torvane_log_close(text), torvane_setup_roles(boolean) FROM PUBLIC;
    EXECUTE format('GRANT EXECUTE ON FUNCTION torvane_log_close(text) TO %I', everyone);
    EXECUTE format('GRANT EXECUTE ON FUNCTION torvane_set_password(text, text) TO %I', everyone);

    -- The kept statistics are written for whoever saves a ticket.
    ALTER FUNCTION hyxc_statistics_rows() SECURITY DEFINER SET search_path = public, pg_temp;
    ALTER FUNCTION hyxc_statistics_change() SECURITY DEFINER SET search_path = public, pg_temp;
    IF to_regprocedure('public.hyxc_points_rows()') IS NOT NULL THEN
        ALTER FUNCTION hyxc_points_rows() SECURITY DEFINER SET search_path = public, pg_temp;
        ALTER FUNCTION hyxc_points_change() SECURITY DEFINER SET search_path = public, pg_temp;
    END IF;

    DROP TRIGGER IF EXISTS czyzd_no_password ON czyzd;
    CREATE TRIGGER czyzd_no_password BEFORE INSERT OR UPDATE ON czyzd
        FOR EACH ROW EXECUTE FUNCTION torvane_czyzd_no_password();
    DROP TRIGGER IF EXISTS czyzd_keep_system ON czyzd;
    CREATE TRIGGER czyzd_keep_system BEFORE DELETE ON czyzd
        FOR EACH ROW EXECUTE FUNCTION torvane_czyzd_keep_system();
    DROP TRIGGER IF EXISTS czyzd_roles_add ON czyzd;
    CREATE TRIGGER czyzd_roles_add AFTER INSERT ON czyzd REFERENCING NEW TABLE AS new_rows
        FOR EACH STATEMENT EXECUTE FUNCTION torvane_czyzd_roles();
    DROP TRIGGER IF EXISTS czyzd_roles_remove ON czyzd;
    CREATE TRIGGER czyzd_roles_remove AFTER DELETE ON czyzd REFERENCING OLD TABLE AS old_rows
        FOR EACH STATEMENT EXECUTE FUNCTION torvane_czyzd_roles();
    DROP TRIGGER IF EXISTS czy_roles_add ON czy;
    CREATE TRIGGER czy_roles_add AFTER INSERT ON czy REFERENCING NEW TABLE AS new_rows
        FOR EACH STATEMENT EXECUTE FUNCTION torvane_czy_roles();
    DROP TRIGGER IF EXISTS czy_roles_remove ON czy;
    CREATE TRIGGER czy_roles_remove AFTER DELETE ON czy REFERENCING OLD TABLE AS old_rows
        FOR EACH STATEMENT EXECUTE FUNCTION torvane_czy_roles();
    DROP TRIGGER IF EXISTS czyrz_own ON czyrz;
    CREATE TRIGGER czyrz_own BEFORE INSERT ON czyrz FOR EACH ROW EXECUTE FUNCTION torvane_czyrz_own();

    -- What an older archive kept of the passwords goes: the roles hold them now.
    UPDATE czyzd SET czy_pass = NULL WHERE czy_pass IS NOT NULL;

    -- Every account has its role; one made now has no password until the owner sets one.
    FOR operator_name IN SELECT czy_name FROM czyzd ORDER BY czy_no LOOP
        IF fresh OR to_regrole(quote_ident(torvane_role_name('operator', operator_name))) IS NULL
           OR NOT pg_has_role(torvane_role_name('operator', operator_name), everyone, 'MEMBER') THEN
            PERFORM torvane_make_operator(operator_name);
        ELSE
            PERFORM torvane_sync_rights(operator_name);
        END IF;
    END LOOP;
END $$;

