#!/usr/bin/env python3
"""Writes the sheets with heading rows that the mapped import is tested with, as .csv, and turns some of
them into .xls / .xlsx with gnumeric's ssconvert. Every value is made up.
  mapped_own_export.xls     the heading row "批量导出" writes (编号, 域名, … 对外报价)
  mapped_cn_registrar.xlsx  域名 / 注册时间 / 到期时间 / 注册商 / 状态, dates as a Chinese registrar writes them
  mapped_en_registrar.csv   Domain Name / Expiration Date / Registrar / Auto Renew / Registrant Email
  mapped_pst_prices.csv     Domain / Created / Expires / Price, times with zone names and prices with signs
  mapped_pst_prices.xls     the same through ssconvert, which reads "$ 18.99" and "1,500" as numbers
  mapped_day_first.csv      Domain / Expiry with numbers-only dates that do not tell day from month
  mapped_no_headings.xls    domains from row 1, no heading row
Needs: python3, ssconvert (gnumeric)."""
import csv
import os
import subprocess
import tempfile

here = os.path.dirname(os.path.abspath(__file__))

sheets = {
    "mapped_own_export.xls": [
        ["编号", "域名", "域名说明", "注册商", "域名管理地址", "注册日期", "过期日期", "备注", "管理密码", "对外报价"],
        ["12", "own.cn", "自己的导出", "某注册商", "http://m.example.cn", "2020/1/2", "2030-01-02", "备注", "pw", "0100"],
        ["11", "second.com", "", "", "", "", "", "", "", "1e5"],
    ],
    "mapped_cn_registrar.xlsx": [
        ["域名", "注册时间", "到期时间", "注册商", "状态"],
        ["例子.中国", "2019年3月5日", "2025年3月5日 23:59:59", "某某网络", "正常"],
        ["abc.cn", "2020年11月24日", "2026年11月24日", "某某网络", "正常"],
        ["", "", "", "", ""],
        ["xyz.com.cn", "2021年1月2日", "2027年1月2日", "某某网络", "注册商锁定"],
    ],
    "mapped_en_registrar.csv": [
        ["Domain Name", "Expiration Date", "Registrar", "Auto Renew", "Registrant Email"],
        ["Example-One.com", "Dec 13 2021", "Some Registrar, LLC", "Yes", "someone@example.com"],
        ["example-two.net", "11/24/2021", "Some Registrar, LLC", "No", "someone@example.com"],
        ["EXAMPLE-ONE.COM", "Dec 14 2022", "Other Registrar", "Yes", "someone@example.com"],
    ],
    "mapped_pst_prices.xls": [
        ["Domain", "Created", "Expires", "Price"],
        ["pst-one.com", "2021/11/24 11:43 PST", "2023/11/24 11:43 PST", "$ 18.99"],
        ["pst-two.com", "2020/01/05 08:00 PDT", "2024/01/05 08:00 PDT", "1,500"],
        ["pst-three.com", "2019/07/01 00:00 UTC", "2025/07/01 00:00 UTC", "￥2000"],
        ["pst-four.com", "2018/02/03 12:00 PST", "2026/02/03 12:00 PST", "Make offer"],
    ],
    "mapped_pst_prices.csv": None,
    "mapped_day_first.csv": [
        ["Domain", "Expiry"],
        ["day-one.com", "03/04/2025"],
        ["day-two.com", "05/06/2026"],
        ["day-three.com", "01/02/2027"],
    ],
    "mapped_no_headings.xls": [
        ["plain-one.com", "说明一", "注册商一"],
        ["plain-two.com", "说明二", "注册商二"],
    ],
}

with tempfile.TemporaryDirectory() as tmp:
    sheets["mapped_pst_prices.csv"] = sheets["mapped_pst_prices.xls"]
    for name, rows in sheets.items():
        base, ending = os.path.splitext(name)
        text = os.path.join(here if ending == ".csv" else tmp, base + ".csv")
        with open(text, "w", newline="", encoding="utf-8") as f:
            csv.writer(f, lineterminator="\r\n").writerows(rows)
        if ending != ".csv":
            kind = "Gnumeric_Excel:xlsx2" if ending == ".xlsx" else "Gnumeric_Excel:excel_biff8"
            subprocess.run(["ssconvert", "--export-type=" + kind, text, os.path.join(here, name)],
                           check=True, stderr=subprocess.DEVNULL)
