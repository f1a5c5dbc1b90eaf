#pragma once

#include <memory>

struct pg_result;

// An answer of the server, freed (PQclear) when its handle goes: no result
// of libpq is ever freed by hand.
struct PgResultFree
{
    void operator()(pg_result *result) const;
};
using PgResult = std::unique_ptr<pg_result, PgResultFree>;
