#!/usr/bin/python3
"""Writes number_formats.tsv: (format, value, expected text) for the number
format engine's test.

Every (format, value) pair goes into one cell of a workbook written with
openpyxl; LibreOffice converts the workbook to CSV with the cells' texts as
shown, and those texts are the expected ones.  Where LibreOffice shows a value
otherwise than Excel (in a Chinese locale) does, the row keeps LibreOffice's
text and gives Excel's, with the reason, in the last two columns; the test
follows Excel.  "(skip)" there marks a row neither suite's text can serve for
(the test leaves it out).

Run once from anywhere (needs python3-openpyxl and libreoffice-calc-nogui):
    tests/spreadsheet/data/number_formats/make_table.py
"""
import csv
import decimal
import os
import re
import signal
import subprocess
import sys
import tempfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "number_formats.tsv")
TIMEOUT = 45  # seconds for one conversion

# --- numbers ---------------------------------------------------------------

ROUNDING = [0.5, 1.5, 2.5, 88.5, 1234.5, 0.125, 0.375, 2.675, 1.005, 1.015, 1.025, 1.045,
            0.045, 0.0005, 0.005, 0.05, 0.95, 9.995, 99.95, 999.5, 0.1 + 0.2, 1 / 3, 2 / 3,
            0.125, 0.135, 5.015, 10.005, 1234.565, 0.285, 1.255, 8.345, 123456.785]
PLAIN = [0, 1, -1, 7, -7, 12, 100, 1000, 1234.5678, -1234.5678, 1234567.891, -0.4, -0.5,
         -0.6, 0.001, 0.0001234, 1e-7, 123456789, 2024010001, 1e15, 123456789012345,
         1.5e16, 1e20, -1e20, 3.14159265358979, 1e-20, 0.999, 99999.99]
NUMBERS = PLAIN + ROUNDING + [-v for v in ROUNDING]

NUMBER_FORMATS = [
    "General", "0", "0.0", "0.00", "0.000", "#,##0", "#,##0.00", "#,##0.000", "0%", "0.0%",
    "0.00%", "#", "#.##", "0.##", "#.0#", "#,###", "00000", "000.00", "#,##0;-#,##0",
    "#,##0;(#,##0)", "#,##0.00;[Red](#,##0.00)", "0.00;[Red]-0.00", "[Blue]0;[Red]-0;[Green]0",
    "0;-0;\"zero\"", "0;-0;;@", "0.00;-0.00;0.00;\"text \"@", "#,##0,", "#,##0.0,,",
    "0.0,\"K\"", "\"$\"#,##0.00", "\"¥\"#,##0.00", "[$¥-804]#,##0.00", "[$$-409]#,##0.00",
    "[$-804]0.00", "[$€-407]#,##0.00", "0\"人\"", "\"共\"0\"人\"", "0\\人", "\\$0.00",
    "0.00\"元\"", "#,##0.00_);(#,##0.00)", "#,##0_);[Red](#,##0)",
    "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",
    "_(\"¥\"* #,##0.00_);_(\"¥\"* \\(#,##0.00\\);_(\"¥\"* \"-\"??_);_(@_)",
    "[>=60]0;[<60]\"不及格\"", "[>=100]\"A\"0;[>=60]\"B\"0;\"C\"0", "[<0]\"neg\"0;0",
    "[>1000]#,##0,\"K\";0", "[=0]\"-\";0.00", "[Red][<=-1]0.0;[Blue][>=1]0.0;0.00",
    "[Color10]0.00", "[Color3]0;[Color5]-0", "[Magenta]0;[Cyan]-0;[Yellow]0;[White]@",
    "0.00E+00", "0.0E+0", "##0.0E+0", "0E+00", "0.000E-00", "#.##E+00", "00.00E+00",
    "# ?/?", "# ??/??", "# ???/???", "?/?", "# ?/2", "# ?/4", "# ?/8", "# ??/16", "# ?/10",
    "# ??/100", "0 ?/?", "?/10", "#,##0 ?/?",
    "[DBNum1]0", "[DBNum2]0", "[DBNum3]0", "[DBNum1][$-804]General", "[DBNum2][$-804]General",
    "[DBNum1][$-804]0.00", "[DBNum3][$-804]0", "[DBNum1][$-804]0", "[DBNum2][$-804]0",
    "@", "\"a\"@\"b\"", "0.0 \"pts\"", "0.00 ;-0.00 ", "+0;-0;0", "0.0;(0.0)",
    "???.???", "#,##0.??", "0.0??", "?,??0", "0_)", "0*-", "*x0", "0.00_-",
    "G/通用格式", "\"Total: \"General", "General;-General", "General\"元\"",
]

# --- dates and times -------------------------------------------------------

DATES = [0.25, 1, 2, 31, 32, 59, 61, 366, 367, 25569, 36526, 43831.5, 45444, 45450,
         45450.5, 45450.999999, 45450.0000058, 45450.9999999, 45292.75, 45657.3333333333,
         2958465, 0.5, 0.999988, 1.0416666666667, 2.5, 3.75, 45450.123456]

DATE_FORMATS = [
    "yyyy/m/d", "yyyy-mm-dd", "yy-m-d", "m/d/yy", "d-mmm-yy", "d-mmm", "mmm-yy", "dd-mmm-yyyy",
    "mmmm d, yyyy", "mmmmm", "ddd", "dddd", "ddd, mmm d", "dddd, mmmm dd, yyyy",
    "yyyy\"年\"m\"月\"d\"日\"", "yyyy\"年\"m\"月\"", "m\"月\"d\"日\"", "yyyy年m月d日",
    "[$-804]yyyy\"年\"m\"月\"d\"日\" dddd", "[$-804]mmmm", "[$-804]mmm", "[$-804]ddd",
    "[$-804]dddd", "[$-804]aaaa", "[$-804]aaa", "aaaa", "aaa", "[$-409]mmmm d, yyyy",
    "[$-409]dddd", "[$-409]h:mm AM/PM",
    "h:mm", "hh:mm", "h:mm:ss", "hh:mm:ss", "h:mm AM/PM", "h:mm:ss AM/PM", "hh:mm A/P",
    "h AM/PM", "[h]:mm", "[h]:mm:ss", "[mm]:ss", "[ss]", "mm:ss", "mm:ss.0", "h:mm:ss.00",
    "[h]\"小时\"mm\"分\"", "h\"时\"mm\"分\"", "h\"时\"mm\"分\"ss\"秒\"",
    "上午/下午h\"时\"mm\"分\"", "上午/下午h\"时\"mm\"分\"ss\"秒\"", "yyyy/m/d h:mm",
    "yyyy-mm-dd hh:mm:ss", "m-d-yy h:mm", "d/m/yyyy", "dd.mm.yyyy", "yyyymmdd",
    "[DBNum1][$-804]yyyy\"年\"m\"月\"d\"日\"", "[DBNum1][$-804]m\"月\"d\"日\"",
    "[DBNum2][$-804]yyyy\"年\"m\"月\"d\"日\"", "[DBNum1][$-804]h\"时\"mm\"分\"",
    "[DBNum3][$-804]yyyy\"年\"m\"月\"d\"日\"",
]

TEXTS = ["abc", "0001", "考生", ""]
TEXT_FORMATS = ["General", "@", "0.00", "\"a\"@\"b\"", "0;-0;0;\"[\"@\"]\"", "0;-0;0",
                "@\"号\"", "[Red]@", "0;0;0;[Blue]@"]


def cases():
    for f in NUMBER_FORMATS:
        for v in NUMBERS:
            # LibreOffice never finishes a fraction of a number beyond 1e10.
            if "/" in f and not 1e-10 < abs(v) < 1e10 and v != 0:
                continue
            yield f, v
    for f in DATE_FORMATS:
        for v in DATES:
            yield f, v
    for f in TEXT_FORMATS:
        for v in TEXTS:
            if v:
                yield f, v


def convert_chunk(rows, tmp):
    """LibreOffice's texts for `rows`; None when it does not finish."""
    book = openpyxl.Workbook()
    sheet = book.active
    for i, (f, v) in enumerate(rows, start=1):
        cell = sheet.cell(row=i, column=1, value=v)
        cell.number_format = f
    path = os.path.join(tmp, "formats.xlsx")
    book.save(path)
    env = dict(os.environ, HOME=tmp, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    # Tab-separated, UTF-8, English (US) locale, cells as shown.
    process = subprocess.Popen(
        ["soffice", "--headless", "--norestore", "-env:UserInstallation=file://" + tmp + "/profile",
         "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76,1,,1033,false,true,true",
         "--outdir", tmp, path], env=env, start_new_session=True,
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        process.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None
    with open(os.path.join(tmp, "formats.csv"), encoding="utf-8", newline="") as f:
        texts = [r[0] if r else "" for r in csv.reader(f, delimiter="\t", quotechar='"')]
    os.remove(os.path.join(tmp, "formats.csv"))
    return texts + [""] * (len(rows) - len(texts))


def convert(rows, tmp):
    """Texts LibreOffice shows for the cells of `rows`, in order; None for a
    cell it never finishes showing (the chunk is halved until it is found)."""
    texts = convert_chunk(rows, tmp)
    if texts is None:
        texts = convert_chunk(rows, tmp)  # it sometimes stalls once
    if texts is not None:
        return texts
    if len(rows) == 1:
        print("LibreOffice does not finish", rows[0], file=sys.stderr)
        return [None]
    half = len(rows) // 2
    return convert(rows[:half], tmp) + convert(rows[half:], tmp)


def convert_all(rows, chunk=400):
    texts = []
    with tempfile.TemporaryDirectory() as tmp:
        for start in range(0, len(rows), chunk):
            texts += convert(rows[start:start + chunk], tmp)
            print(min(start + chunk, len(rows)), "of", len(rows), file=sys.stderr)
    return texts


def is_date_format(f):
    return f in DATE_FORMATS


def date_parts(f):
    """Whether a date code shows a year, month or day of the month (day names
    aside)."""
    f = re.sub(r'"[^"]*"|\[[^]]*\]', "", f).lower()
    f = re.sub(r"d{3,}|a{3,}", "", f)
    f = re.sub(r"h+:?m+|m+:ss|m+:s", "", f)
    return any(c in f for c in "ymd")


GENERAL_FAMILY = {"General": "{}", "G/通用格式": "{}", "@": "{}", '"a"@"b"': "{}", '"Total: "General': "Total: {}",
                  "General;-General": "{}", 'General"元"': "{}元"}
ELAPSED = {"[h]:mm": lambda s: "%d:%02d" % (s // 3600, s // 60 % 60),
           "[h]:mm:ss": lambda s: "%d:%02d:%02d" % (s // 3600, s // 60 % 60, s % 60),
           "[mm]:ss": lambda s: "%d:%02d" % (s // 60, s % 60),
           "[ss]": lambda s: "%d" % s,
           '[h]"小时"mm"分"': lambda s: "%d小时%02d分" % (s // 3600, s // 60 % 60)}


def excel_general(v):
    """General as Excel shows it beyond the range LibreOffice writes out."""
    m, e = ("%.14E" % abs(v)).split("E")
    m = m.rstrip("0").rstrip(".")
    return ("-" if v < 0 else "") + "%sE%s%02d" % (m, "-" if int(e) < 0 else "+", abs(int(e)))


def half_up_percent(v, decimals):
    d = decimal.Decimal("%.15g" % v) * 100
    q = d.quantize(decimal.Decimal(1).scaleb(-decimals), rounding=decimal.ROUND_HALF_UP)
    return ("%." + str(decimals) + "f%%") % q if q != 0 else ("%." + str(decimals) + "f%%") % 0


def excel_text(f, v, lo, other):
    """Excel's text (or SKIP) where it is known to differ from LibreOffice's,
    with the reason; None where they agree.  `other(f, v)` gives
    LibreOffice's text of another cell of the table."""
    base = excel_base(f, v, lo, other)
    text, reasons = (base[0], [base[1]]) if base else (lo, [])
    if text == SKIP:
        return base
    number = not isinstance(v, str)
    if number and v < 0 and ";" not in f and "[<" not in f and "[>" not in f and \
            not is_date_format(f) and "-" not in text and "－" not in text and \
            "负" not in text and \
            not any(c in text for c in "123456789一二三四五六七八九壹贰叁肆伍陆柒捌玖１２３４５６７８９"):
        text = ("-" if "DBNum" not in f or "General" in f else "负" if "DBNum2" in f else "－") + text
        reasons.append("Excel keeps the minus of a negative number that rounds to zero")
    if number and f in ("0.##", "#.##") and "." not in text and "E" not in text:
        text += "."
        reasons.append("Excel keeps the decimal point when no decimal follows")
    return (text, "; ".join(reasons)) if reasons and text != lo else None


def excel_base(f, v, lo, other):
    number = not isinstance(v, str)
    if number and f in ELAPSED and 1 <= v:
        return ELAPSED[f](int(v * 86400 + 0.5)), "Excel counts elapsed time from serial 0"
    if number and is_date_format(f) and 0 <= v < 1 and date_parts(f):
        return SKIP, "Excel shows serials below 1 on 1900-01-00, a day LibreOffice cannot show"
    if number and is_date_format(f) and 1 <= v < 60 and date_parts(f):
        if re.search(r"d{3,}|a{3,}", f.lower()):
            return SKIP, "before March 1900 Excel's weekdays and dates are a day apart"
        # Excel counts the 29th of February 1900, which never was, so its
        # serials before it name the day after LibreOffice's.
        return other(f, v + 1), "Excel counts 1900-02-29: serials before 60 are a day later"
    if f in ("aaa", "aaaa"):
        return other("[$-804]" + f, v), "Excel in a Chinese locale names days in Chinese"
    if f == "hh:mm A/P":
        return lo[:-1] + lo[-1:].upper(), "Excel keeps the case A/P is written in"
    if "上午/下午" in f:
        t = other(f.replace("上午/下午", "AM/PM"), v)
        return (t.replace("AM", "上午").replace("PM", "下午"),
                "LibreOffice reads 上午/下午 only in a Chinese locale")
    if number and "DBNum" in f and "General" in f and (abs(v) >= 1e15 or 0 < abs(v) < 1e-5):
        return SKIP, "Chinese numerals of a General number in scientific notation"
    if number and "DBNum" in f and abs(v) >= 1e16:
        return SKIP, "Chinese numerals beyond 1E+16: LibreOffice's own units"
    if number and f in GENERAL_FAMILY and v != 0 and (abs(v) >= 1e15 or abs(v) < 1e-5):
        return (("-" if v < 0 else "") + GENERAL_FAMILY[f].format(excel_general(abs(v))),
                "Excel's General turns scientific below 1E-05 and from 1E+15, two exponent digits")
    if f == "G/通用格式":
        return other("General", v), "Excel in a Chinese locale names General G/通用格式"
    if number and re.fullmatch(r"\[DBNum\d\]0", f):
        return (other(f.replace("]", "][$-804]", 1), v),
                "Excel in a Chinese locale writes Chinese numerals without a locale tag")
    if number and f in ("0%", "0.0%", "0.00%"):
        t = ("-" if v < 0 and half_up_percent(-v, f.count("0") - 1) != half_up_percent(0, 0) else "")
        t += half_up_percent(abs(v), f.count("0") - 1)
        if t != lo and t.lstrip("-") != lo.lstrip("-"):
            return t, "Excel rounds the 15-digit decimal value (1.005 is 100.5%)"
    return None


SKIP = "(skip)"


def main():
    rows = list(cases())
    # Cells other rows' Excel texts come from: the next serial for dates
    # before March 1900, AM/PM for 上午/下午, a locale tag for Chinese
    # numerals.
    extra = []
    for f, v in rows:
        if isinstance(v, str):
            continue
        if is_date_format(f) and 1 <= v < 60:
            extra.append((f, v + 1))
        if "上午/下午" in f:
            extra.append((f.replace("上午/下午", "AM/PM"), v))
    texts = convert_all(rows + extra)
    known = dict(zip(rows + extra, texts))
    other = lambda f, v: known.get((f, v)) or ""
    skipped = 0
    with open(OUT, "w", encoding="utf-8", newline="") as out:
        out.write("# format\tvalue\tlibreoffice\texcel\treason\n")
        for (f, v), lo in zip(rows, texts):
            if lo is None:
                continue  # a cell LibreOffice never finishes is no reference
            value = repr(float(v)) if not isinstance(v, str) else "'" + v
            diff = excel_text(f, v, lo, other)
            excel, reason = diff if diff else ("", "")
            skipped += excel == SKIP
            for field in (f, value, lo, excel, reason):
                if "\t" in field or "\n" in field:
                    sys.exit("a tab or line break in " + repr(field))
            out.write("\t".join((f, value, lo, excel, reason)) + "\n")
    print(len(rows), "rows written to", OUT, "of which", skipped, "are not checked")


if __name__ == "__main__":
    main()
