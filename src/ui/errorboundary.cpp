#include "ui/errorboundary.h"

#include "ui/messagebox.h"
#include "ui/modcwcl.h"

#include <QTimer>
#include <exception>
#include <new>

void ErrorBoundary::report(const DbError &error)
{
    switch (error.kind) {
    case DbErrorKind::Busy:
        Msg::exclamation(DbMessages::busy());
        break;
    case DbErrorKind::Conflict:
        Msg::information(DbMessages::conflict());
        break;
    case DbErrorKind::Refused:
        break;
    case DbErrorKind::ConnectionLost: {
        // A command and the window's refresh after it fail alike: said once per command.
        static bool said = false;
        if (said)
            break;
        Msg::stop(DbMessages::connectionLost());
        said = true;
        QTimer::singleShot(0, [] { said = false; });
        break;
    }
    case DbErrorKind::Failure:
    case DbErrorKind::Duplicate:
        Msg::stop(ModCWCl::errorText(error));
        break;
    }
}

bool ErrorBoundary::run(const std::function<void()> &work, DbError *failure)
{
    try {
        work();
        return true;
    } catch (const DbException &e) {
        if (failure)
            *failure = e.error();
        report(e.error());
    } catch (const std::bad_alloc &) {
        Msg::stop(QStringLiteral("内存不足，本次操作未完成。"));
    } catch (const std::exception &e) {
        Msg::stop(QStringLiteral("本次操作未完成: ") + QString::fromLocal8Bit(e.what()));
    }
    return false;
}
