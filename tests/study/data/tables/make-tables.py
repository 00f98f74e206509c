#!/usr/bin/env python3
"""Makes the workbooks of tests/study/data/tables and examples/cases/boiler-loads.xlsx with another
spreadsheet program than ours: each sheet is written here as a flat OpenDocument spreadsheet and
LibreOffice Calc (Debian's libreoffice-calc-nogui) saves it as .xlsx, computing its formulas.
Run once, by hand; the files it made are kept.

  tests/study/data/tables/make-tables.py
"""
import pathlib
import shutil
import subprocess
import tempfile
from xml.sax.saxutils import escape

HERE = pathlib.Path(__file__).resolve().parent
EXAMPLES = HERE.parents[2] / "examples" / "cases"

HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2"
 office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
 <number:date-style style:name="N1"><number:year number:style="long"/><number:text>/</number:text>
  <number:month number:style="long"/><number:text>/</number:text><number:day number:style="long"/>
 </number:date-style>
 <style:style style:name="date" style:family="table-cell" style:data-style-name="N1"/>
</office:automatic-styles>
<office:body><office:spreadsheet>
"""
TAIL = "</office:spreadsheet></office:body></office:document>\n"


def cell(value):
    """A number, a text, ("=", formula, cached number), ("date", "2024-05-01"), ("merge", text,
    columns), or None for a blank cell."""
    if value is None:
        return "<table:table-cell/>"
    if isinstance(value, tuple) and value[0] == "=":
        return (f'<table:table-cell table:formula="of:{escape(value[1])}" office:value-type="float"'
                f' office:value="{value[2]}"/>')
    if isinstance(value, tuple) and value[0] == "date":
        return (f'<table:table-cell table:style-name="date" office:value-type="date"'
                f' office:date-value="{value[1]}"/>')
    if isinstance(value, tuple) and value[0] == "merge":
        return (f'<table:table-cell table:number-columns-spanned="{value[2]}"'
                f' table:number-rows-spanned="1" office:value-type="string"><text:p>'
                f'{escape(value[1])}</text:p></table:table-cell>'
                f'<table:covered-table-cell table:number-columns-repeated="{value[2] - 1}"/>')
    if isinstance(value, (int, float)):
        return (f'<table:table-cell office:value-type="float" office:value="{value!r}">'
                f'<text:p>{value!r}</text:p></table:table-cell>')
    return (f'<table:table-cell office:value-type="string"><text:p>{escape(value)}</text:p>'
            f'</table:table-cell>')


def sheet(name, rows):
    out = [f'<table:table table:name="{escape(name)}">']
    for row in rows:
        out.append("<table:table-row>" + "".join(cell(v) for v in row) + "</table:table-row>")
    out.append("</table:table>")
    return "\n".join(out)


def save(path, sheets):
    with tempfile.TemporaryDirectory() as work:
        source = pathlib.Path(work) / (path.stem + ".fods")
        source.write_text(HEAD + "\n".join(sheet(n, r) for n, r in sheets) + TAIL, "utf-8")
        subprocess.run(["soffice", "--headless", "--convert-to", "xlsx", "--outdir", work,
                        str(source)], check=True, capture_output=True)
        shutil.copy(pathlib.Path(work) / (path.stem + ".xlsx"), path)


KEYS = ["name", "arrangement", "flow_mode", "flue_gas.properties", "flue_gas.channel_length",
        "flue_gas.channel_width", "flue_gas.channel_gap", "air.properties", "air.channel_length",
        "air.channel_width", "air.channel_gap", "plate.pairs", "plate.thickness",
        "plate.conductivity", "flue_gas.volume_flow", "flue_gas.inlet_temperature",
        "flue_gas.outlet_temperature", "air.volume_flow", "air.inlet_temperature",
        "air.outlet_temperature"]
CAPTIONS = ["工况名称", "流动形式", "流量给定", "烟气物性参数", "烟气流道长度(m)",
            "烟气流道宽度(m)", "烟气流道间距(mm)", "空气物性参数", "空气流道长度(m)",
            "空气流道宽度(m)", "空气流道间距(mm)", "板对数", "板厚(mm)",
            "板片热导率(W/(m·℃))", "烟气体积流量V1(m3/h)", "烟气进口温度(℃)",
            "烟气出口温度(℃)", "空气体积流量V2(m3/h)", "空气进口温度(℃)",
            "空气出口温度(℃)"]
SHARED = ["counterflow", "volume", "table", 4.8, 2.7, 10, "table", 5.4, 2.4, 9, 110, 1.5, 17.5]
LOADS = [["100 % 负荷", *SHARED, 294982.42, 350, 160, 300000, 40, 190],
         ["75 % 负荷", *SHARED, 221236.82, 330, 148, 225000, 40, 182],
         ["50 % 负荷", *SHARED, 147491.21, 305, 135, 150000, 40, 171]]
NOTES = ("说明", [["每行一个工况；第 3 行为工况文件的键，空白单元格取窗口的默认值。"]])
TITLE = [("merge", "锅炉负荷 — 板式空气预热器工况表", 6)]

save(EXAMPLES / "boiler-loads.xlsx", [NOTES, ("工况", [TITLE, CAPTIONS, KEYS, *LOADS])])

# What a workbook holds besides plain numbers and texts: a formula (by its stored result), a
# number kept as text, a padded text, blank cells (the window's defaults).
save(HERE / "kinds.xlsx", [NOTES, ("工况", [
    TITLE,
    ["name", "arrangement", "flow_mode", "flue_gas.inlet_temperature", "air.outlet_temperature",
     "plate.pairs", "flue_gas.fouling"],
    ["公式", "crossflow", "volume", 350, ("=", "150+40", 190), "110", None],
    ["文本数字", " counterflow ", None, "330.5", 182, 96, 0.0002]])])

# One fault each, in the fourth row of a table of keys.
FAULT_KEYS = ["name", "arrangement", "flue_gas.inlet_temperature", "air.inlet_temperature"]
save(HERE / "error-value.xlsx", [("工况", [
    ["标题"], FAULT_KEYS, ["A", "counterflow", 350, 40],
    ["B", "counterflow", ("=", "1/0", 0), 40]])])
save(HERE / "date.xlsx", [("工况", [
    ["标题"], FAULT_KEYS, ["A", "counterflow", 350, 40],
    ["B", "counterflow", 350, ("date", "2024-05-01")]])])
save(HERE / "merged.xlsx", [("工况", [
    ["标题"], FAULT_KEYS, ["A", "counterflow", 350, 40], ["B", ("merge", "counterflow", 2), 40]])])

# A zip bomb of the kind that lies: its sheet states 1,000 bytes and unpacks to 64 MiB of blanks.
def zip_bomb(path, stated=1000, blanks=64 << 20):
    import struct
    import zipfile
    main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
    relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("xl/workbook.xml", f'<workbook xmlns="{main}" xmlns:r="{relationships}">'
                   '<sheets><sheet name="工况" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
                   f'relationships"><Relationship Id="rId1" Type="{relationships}/worksheet"'
                   ' Target="worksheets/sheet1.xml"/></Relationships>')
        z.writestr("xl/worksheets/sheet1.xml", b" " * blanks)
    data = bytearray(path.read_bytes())
    central = data.find(b"PK\x01\x02")
    while central >= 0:
        length = struct.unpack_from("<H", data, central + 28)[0]
        if data[central + 46:central + 46 + length] == b"xl/worksheets/sheet1.xml":
            struct.pack_into("<I", data, central + 24, stated)
            local = struct.unpack_from("<I", data, central + 42)[0]
            struct.pack_into("<I", data, local + 22, stated)
        central = data.find(b"PK\x01\x02", central + 4)
    path.write_bytes(bytes(data))


zip_bomb(HERE / "zip-bomb.xlsx")
