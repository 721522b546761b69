#!/usr/bin/env python3
"""Writes the sample CSV reference tables (code page 936, CRLF) from the tables below and Securities.csv.

  Base/Warrantinfo.dat            warrant terms (HK derivative warrants, SH warrants)
  Base/Secbrief.dat               brief fundamentals of every stock in the securities file
  Base/Currency.dat               the CNY value of one unit of each currency
  Base/RelatedSymbols.dat         relations in both directions (1 A/H, 2 convertible, 3 group, 4 other)
  Base/RelatedSymbolsLocal.dat    one-direction relations (indexes to the funds that track them)
  HQ/Base/IndexSectors.dat        the sector of each index
  HQ/misc/FundManagementCompany.dat   fund management companies, one per line

Every code refers to a security of Host/Securities.csv (warrant codes themselves excepted). Run from the
project root; the output is committed.
"""
import csv
import os
import random

ETC = os.path.join("sample", "etc")
SERVER_DATE = (2026, 12, 4)

# (warrant code, underlying, initial volume, memo, last trade date, expiry date, ratio, exercise price,
#  volume remaining, previous close, maximum price, minimum price)
WARRANTS = [
    ("13521.HK", "00700.HK", 200000000, "腾讯摩通六七购A,欧式,现金结算", "20270622", "20270628", 0.01, 588.88,
     153200000, 0.184, 0.262, 0.051),
    ("14873.HK", "00700.HK", 150000000, "腾讯法兴六七沽A,欧式,现金结算", "20270622", "20270628", 0.01, 420.00,
     98650000, 0.073, 0.145, 0.062),
    ("16288.HK", "09988.HK", 300000000, "阿里瑞银七七购A,欧式,现金结算", "20270723", "20270729", 0.1, 128.80,
     226400000, 0.091, 0.188, 0.040),
    ("21506.HK", "03690.HK", 180000000, "美团中银七三购A,欧式,现金结算", "20270324", "20270330", 0.05, 188.88,
     40120000, 0.036, 0.098, 0.021),
    ("25901.HK", "00005.HK", 100000000, "汇丰摩通七二购A,欧式,现金结算", "20270219", "20270225", 0.1, 105.00,
     77000000, 0.102, 0.143, 0.066),
    ("580019.SH", "600028.SH", 2803000000, "石化CWB1,认购权证,欧式,股票给付", "20261218", "20261225", 0.5, 6.50,
     2803000000, 0.312, 0.420, 0.215),
    ("580027.SH", "601857.SH", 1200000000, "石油CWB1,认购权证,百慕大式", "20270312", "20270319", 1.0, 9.80,
     1050000000, 0.520, 0.688, 0.402),
]

CURRENCIES = [
    ("CNY", "人民币", "1"),
    ("HKD", "港币", "0.9137"),
    ("USD", "美元", "7.1128"),
    ("JPY", "日元", "0.04712"),
    ("GBP", "英镑", "9.0451"),
    ("EUR", "欧元", "7.7563"),
]

# (code, related code, relation type)
RELATED = [
    # A/H share pairs
    ("601318.SH", "02318.HK", 1), ("600028.SH", "00386.HK", 1), ("601398.SH", "01398.HK", 1),
    ("601988.SH", "03988.HK", 1), ("601939.SH", "00939.HK", 1), ("601857.SH", "00857.HK", 1),
    ("600050.SH", "00762.HK", 1), ("601628.SH", "02628.HK", 1), ("002594.SZ", "01211.HK", 1),
    # convertible bonds and their stocks
    ("110059.SH", "600000.SH", 2), ("113052.SH", "601166.SH", 2), ("123107.SZ", "300498.SZ", 2),
    ("128136.SZ", "002475.SZ", 2), ("127045.SZ", "002714.SZ", 2),
    # groups: the second code heads the group
    ("600030.SH", "00267.HK", 3), ("000708.SZ", "00267.HK", 3),
    ("601988.SH", "03988.HK", 3), ("02388.HK", "03988.HK", 3),
    ("601318.SH", "02318.HK", 3), ("000001.SZ", "02318.HK", 3),
    # the same company listed in New York and Hong Kong
    ("BABA.N", "09988.HK", 4), ("JD.O", "09618.HK", 4), ("NTES.O", "09999.HK", 4),
]

RELATED_LOCAL = [
    ("000300.SH", "510300.SH", 4), ("000300.SH", "159919.SZ", 4), ("000016.SH", "510050.SH", 4),
    ("000905.SH", "510500.SH", 4), ("000905.SH", "160119.SZ", 4), ("000688.SH", "588000.SH", 4),
    ("399006.SZ", "159915.SZ", 4), ("HSI.HI", "159920.SZ", 4), ("IXIC.GI", "513100.SH", 4),
    ("SPX.GI", "513500.SH", 4),
]

INDEX_SECTORS = [
    ("000001.SH", "SH_A"), ("000680.SH", "KCB"), ("000688.SH", "KCB"), ("399001.SZ", "SZ_A"),
    ("399106.SZ", "SZ_A"), ("399005.SZ", "SZ_A"), ("399101.SZ", "SZ_A"), ("399006.SZ", "CYB"),
    ("399102.SZ", "CYB"), ("HSI.HI", "HK_MAIN"), ("HSCEI.HI", "HK_MAIN"), ("HSTECH.HI", "HK_MAIN"),
    ("DJI.GI", "US_STOCKS"), ("IXIC.GI", "US_STOCKS"), ("SPX.GI", "US_STOCKS"),
]

FUND_COMPANIES = [
    "华夏基金管理有限公司", "南方基金管理股份有限公司", "易方达基金管理有限公司", "嘉实基金管理有限公司",
    "华泰柏瑞基金管理有限公司", "国泰基金管理有限公司", "鹏华基金管理有限公司", "博时基金管理有限公司",
    "华安基金管理有限公司", "招商基金管理有限公司",
]

STOCK_TYPES = {"A", "KCB", "CYB", "HK", "US"}
REPORT_DATES = {"A": "20260930", "KCB": "20260930", "CYB": "20260930", "HK": "20260630", "US": "20260930"}


def quoted(field):
    text = str(field)
    return '"' + text.replace('"', '""') + '"' if ("," in text or '"' in text) else text


def write(relative, rows):
    path = os.path.join(ETC, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="gbk", newline="") as f:
        for row in rows:
            f.write((",".join(quoted(x) for x in row) if isinstance(row, tuple) else row) + "\r\n")


def days_until(yyyymmdd):
    import datetime
    end = datetime.date(int(yyyymmdd[:4]), int(yyyymmdd[4:6]), int(yyyymmdd[6:]))
    return (end - datetime.date(*SERVER_DATE)).days


def main():
    with open(os.path.join(ETC, "Host", "Securities.csv"), encoding="utf-8") as f:
        securities = list(csv.DictReader(f))
    known = {s["code"] for s in securities}
    for code, related, _ in RELATED + RELATED_LOCAL:
        assert code in known and related in known, (code, related)
    for code, *_ in INDEX_SECTORS:
        assert code in known, code
    for w in WARRANTS:
        assert w[1] in known, w

    write("Base/Warrantinfo.dat", [(w[0], w[1], days_until(w[5]), w[2], w[3], w[4], w[5], f"{w[6]:g}", f"{w[7]:.2f}",
                                     w[8], f"{w[9]:.3f}", f"{w[10]:.3f}", f"{w[11]:.3f}") for w in WARRANTS])

    rng = random.Random(20261204)
    brief = []
    for s in securities:
        if s["stock_type"] not in STOCK_TYPES:
            continue
        price = float(s["last_close"])
        capital = round(rng.uniform(8e4, 2.5e6), 2)           # 10,000 shares
        listed = round(capital * rng.uniform(0.55, 1.0), 2)
        eps = round(price / rng.uniform(8, 45), 4)
        nav = round(price / rng.uniform(0.8, 6), 4)
        avg5 = round(rng.uniform(2e4, 3e6), 0)                 # lots
        eps_lyr = round(eps * rng.uniform(0.8, 1.2), 4)
        eps_projected = round(eps * rng.uniform(1.0, 1.3), 4)
        brief.append((s["code"], f"{listed:.2f}", f"{capital:.2f}", f"{eps:.4f}", f"{nav:.4f}", f"{avg5:.0f}",
                      f"{eps_lyr:.4f}", f"{eps_projected:.4f}", REPORT_DATES[s["stock_type"]]))
    write("Base/Secbrief.dat", brief)

    write("Base/Currency.dat", CURRENCIES)
    write("Base/RelatedSymbols.dat", RELATED)
    write("Base/RelatedSymbolsLocal.dat", RELATED_LOCAL)
    write("HQ/Base/IndexSectors.dat", INDEX_SECTORS)
    write("HQ/misc/FundManagementCompany.dat", FUND_COMPANIES)


if __name__ == "__main__":
    main()
