#!/usr/bin/env python3
"""Writes sample/etc/Host/Sectors.json, the stand-in host's sector master, from Securities.csv.

Market sectors collect the securities of one board; the industry sectors hang under "INDUSTRY";
the user's own sectors (a watch list, the default) hang under the custom root. Run from the project root.
"""
import csv
import json
import os

ETC = os.path.join("sample", "etc", "Host")

INDUSTRIES = [
    ("IND.BANK", "银行", ["600000.SH", "600015.SH", "600016.SH", "600036.SH", "601166.SH", "601169.SH", "601288.SH",
                          "601328.SH", "601398.SH", "601939.SH", "601988.SH", "000001.SZ", "002142.SZ"]),
    ("IND.LIQUOR", "白酒", ["600519.SH", "600809.SH", "000568.SZ", "000858.SZ", "002304.SZ"]),
    ("IND.SEMI", "半导体", ["688008.SH", "688012.SH", "688041.SH", "688126.SH", "688256.SH", "688981.SH", "300782.SZ",
                            "600745.SH"]),
    ("IND.AUTO", "汽车", ["600104.SH", "000625.SZ", "002594.SZ"]),
    ("IND.INSURANCE", "保险", ["601318.SH", "601601.SH", "601628.SH"]),
    ("IND.BROKER", "证券", ["600030.SH", "600837.SH", "601688.SH", "000166.SZ", "000776.SZ"]),
    ("IND.PHARMA", "医药生物", ["600196.SH", "600276.SH", "600332.SH", "600436.SH", "688271.SH", "000538.SZ",
                               "002007.SZ", "300015.SZ", "300122.SZ", "300760.SZ"]),
    ("IND.ENERGY", "石油石化", ["600028.SH", "600346.SH", "601857.SH", "601088.SH"]),
    ("IND.POWER", "电力设备", ["600406.SH", "600438.SH", "601012.SH", "300014.SZ", "300274.SZ", "300750.SZ"]),
]


def main():
    with open(os.path.join(ETC, "Securities.csv"), encoding="utf-8") as f:
        securities = list(csv.DictReader(f))

    def members(predicate):
        return [s["code"] for s in securities if predicate(s)]

    market_sectors = [
        ("SH_A", "上证A股", lambda s: s["exchange"] == "SH" and s["stock_type"] in ("A", "KCB")),
        ("SZ_A", "深证A股", lambda s: s["exchange"] == "SZ" and s["stock_type"] in ("A", "CYB")),
        ("KCB", "科创板", lambda s: s["stock_type"] == "KCB"),
        ("CYB", "创业板", lambda s: s["stock_type"] == "CYB"),
        ("HK_MAIN", "港股主板", lambda s: s["stock_type"] == "HK"),
        ("US_STOCKS", "美股", lambda s: s["stock_type"] == "US"),
        ("CN_FUTURES", "国内期货", lambda s: s["stock_type"] == "FUT"),
        ("CN_BONDS", "沪深债券", lambda s: s["stock_type"] in ("BOND", "CB")),
        ("CN_FUNDS", "场内基金", lambda s: s["stock_type"] in ("ETF", "LOF")),
        ("CN_INDEXES", "沪深指数", lambda s: s["stock_type"] == "IDX" and s["exchange"] in ("SH", "SZ", "KI")),
        ("GLOBAL_INDEXES", "全球指数", lambda s: s["stock_type"] == "GIDX" or s["exchange"] == "HI"),
    ]
    known = {s["code"] for s in securities}
    for sector_id, _, codes in INDUSTRIES:
        missing = [c for c in codes if c not in known]
        assert not missing, (sector_id, missing)

    document = {
        "defaultUserSector": "MY_WATCHLIST",
        "sectors": [{"id": i, "name": n, "members": members(p)} for i, n, p in market_sectors]
        + [{"id": "INDUSTRY", "name": "行业板块", "members": [],
            "children": [{"id": i, "name": n, "members": m} for i, n, m in INDUSTRIES]}],
        "userSectors": [
            {"id": "MY_WATCHLIST", "name": "自选股",
             "members": ["600000.SH", "600519.SH", "000001.SZ", "300750.SZ", "00700.HK", "AAPL.O", "IF2612.CFE",
                         "000300.SH"]},
            {"id": "MY_HK", "name": "港股关注", "members": ["00700.HK", "09988.HK", "03690.HK", "01810.HK"]},
        ],
    }
    with open(os.path.join(ETC, "Sectors.json"), "w", encoding="utf-8") as f:
        json.dump(document, f, ensure_ascii=False, indent=1)
        f.write("\n")
    print("wrote", os.path.join(ETC, "Sectors.json"))


if __name__ == "__main__":
    main()
