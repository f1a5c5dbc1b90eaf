#pragma once

// The columns of a ticket row as the itinerary grid shows them: column 0 is
// the row id, column k the k-th shown dictionary row of hyxc, and the
// program relies on these roles.
namespace TicketColumn {
enum : int {
    Id = 0,
    CardNumber = 1,     // kh, set from the customer shown on every save
    SaleDate = 2,       // cprq
    FlightDate = 3,     // qfrq, required
    Destination = 4,    // daoda, required
    Departure = 5,      // kaishi
    Flight = 6,         // hbh, required
    Cabin = 7,          // cw, required
    TicketNumber = 8,   // piaohao, required
    Count = 9,          // ZS
    PublishedPrice = 10, // amount1: the amount points accrue on
    Discount = 11,      // zk
    SalePrice = 12,     // amount2: 0 on refund or void
    PointsRate = 13,    // jfbl, percent: 0 on refund or void
    Airline = 14,       // hangkong: written into the refund or void log
    DepartureTime = 15, // qfsj
    Domestic = 16,      // neivai
    Insurance = 17,     // bx
    NetPrice = 18,      // amount3: 0 on refund or void
    AgentFee = 19,      // sxf: 0 on refund or void
    State = 20,         // zt: 正常, 退票 or 作废
    Clerk = 21,         // dpy
    Courier = 22,       // spy
    Operator = 23,      // czy, the operator who entered the row
    EntryDate = 24,     // lrrq
    Remark = 25,        // bz: the last column a save writes
};
constexpr int LastSaved = Remark;
}
