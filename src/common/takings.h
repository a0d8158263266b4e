#pragma once

// Money an action takes in or pays out at a counter, counted into that counter's open shift.
struct Takings
{
    double sessionCash = 0;  // 现金结帐: cash for sessions, prepaid or at checkout, less what went back
    double cardPaid = 0;     // 储金卡结帐: paid from stored-value cards; no cash
    double cardSales = 0;    // 售卡及充值: cash for cards sold and topped up
    double counterSales = 0; // 柜台零售: cash for goods sold over the counter

    bool any() const { return sessionCash != 0 || cardPaid != 0 || cardSales != 0 || counterSales != 0; }
};
