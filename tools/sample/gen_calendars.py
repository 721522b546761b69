#!/usr/bin/env python3
"""Writes sample/etc/Host/Reports/Misc.TradeDateList.csv, the trading calendars the stand-in host's report
data answers "report name=Misc.TradeDateList" with: one row per market and trading day, 2024 to 2027.

Sample data: the closures below are the exchanges' public holidays of 2024 to 2026 as known when this file
was written; 2027 follows the usual pattern of each calendar and is a projection, not a published schedule.
Weekends are always closed. The Stock Connect markets trade the days both sides trade (the real channels
also close around settlement holidays; the sample leaves that out). Run from the project root; the output is
committed.
"""
import datetime
import os

FIRST = datetime.date(2024, 1, 1)
LAST = datetime.date(2027, 12, 31)


def days(year, *spans):
    """Weekday closures of a year: "0101" or a range "0212-0216" (month and day)."""
    out = set()
    for span in spans:
        start, _, end = span.partition("-")
        a = datetime.date(year, int(start[:2]), int(start[2:]))
        b = datetime.date(year, int(end[:2]), int(end[2:])) if end else a
        while a <= b:
            out.add(a)
            a += datetime.timedelta(days=1)
    return out


# Shanghai and Shenzhen (and the mainland futures exchanges): New Year, Spring Festival, Qingming, Labour Day,
# Dragon Boat, Mid-Autumn and National Day.
MAINLAND = (days(2024, "0101", "0209-0216", "0404-0405", "0501-0503", "0610", "0916-0917", "1001-1004", "1007")
            | days(2025, "0101", "0128-0204", "0404", "0501-0502", "0505", "0602", "1001-1003", "1006-1008")
            | days(2026, "0101-0102", "0216-0220", "0223", "0406", "0501", "0504-0505", "0619", "0925", "1001-1002",
                   "1005-1007")
            | days(2027, "0101", "0205", "0208-0212", "0405", "0503-0505", "0609", "0915", "1001", "1004-1007"))

# Hong Kong: New Year, Lunar New Year, Good Friday and Easter Monday, Ching Ming, Labour Day, Buddha's
# Birthday, Tuen Ng, HKSAR Establishment Day, the day after Mid-Autumn, National Day, Chung Yeung, Christmas.
HONG_KONG = (days(2024, "0101", "0212-0213", "0329", "0401", "0404", "0501", "0515", "0610", "0701", "0918", "1001",
                  "1011", "1225-1226")
             | days(2025, "0101", "0129-0131", "0404", "0418", "0421", "0501", "0505", "0701", "1001", "1007", "1029",
                    "1225-1226")
             | days(2026, "0101", "0217-0219", "0403", "0406-0407", "0501", "0525", "0619", "0701", "1001", "1019",
                    "1225")
             | days(2027, "0101", "0208-0209", "0326", "0329", "0405", "0513", "0609", "0701", "0916", "1001", "1008",
                    "1227"))

# New York (NYSE and Nasdaq): New Year, Martin Luther King Jr. Day, Washington's Birthday, Good Friday,
# Memorial Day, Juneteenth, Independence Day, Labor Day, Thanksgiving, Christmas (observed dates), and the
# national day of mourning of 2025-01-09.
NEW_YORK = (days(2024, "0101", "0115", "0219", "0329", "0527", "0619", "0704", "0902", "1128", "1225")
            | days(2025, "0101", "0109", "0120", "0217", "0418", "0526", "0619", "0704", "0901", "1127", "1225")
            | days(2026, "0101", "0119", "0216", "0403", "0525", "0619", "0703", "0907", "1126", "1225")
            | days(2027, "0101", "0118", "0215", "0326", "0531", "0618", "0705", "0906", "1125", "1224"))

CALENDARS = {
    "SSE": MAINLAND, "SZSE": MAINLAND, "CFFEX": MAINLAND, "SHFE": MAINLAND, "DCE": MAINLAND, "CZCE": MAINLAND,
    "HKEX": HONG_KONG,
    "SHN": MAINLAND | HONG_KONG, "SZN": MAINLAND | HONG_KONG, "HKS": MAINLAND | HONG_KONG, "HKSZ": MAINLAND | HONG_KONG,
    "NYSE": NEW_YORK, "NASDAQ": NEW_YORK,
}


def main():
    lines = ["MarketCode,TradeDate"]
    for market, closed in CALENDARS.items():
        day = FIRST
        while day <= LAST:
            if day.weekday() < 5 and day not in closed:
                lines.append(f"{market},{day:%Y%m%d}")
            day += datetime.timedelta(days=1)
    path = os.path.join("sample", "etc", "Host", "Reports", "Misc.TradeDateList.csv")
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
