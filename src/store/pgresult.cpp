#include "store/pgresult.h"

#include <libpq-fe.h>

void PgResultFree::operator()(pg_result *result) const
{
    PQclear(result);
}
