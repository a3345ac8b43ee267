#!/usr/bin/env python3
"""Writes the label templates in assets/beside from the label stocks' published geometry.

The figures are those of the manufacturer's sheets (as the glabels-data package records them,
in /usr/share/libglabels-3.0/templates/avery-us-templates.xml); stocks that share a layout
share the figures. Run it again after changing a layout and commit the .rpt files.
"""
import json
import os

# width, height, corner radius, across, down, left, top, pitch across, pitch down, safe margin
SHEETS = {
    "30-up": (2.625, 1, 0.0625, 3, 10, 0.15625, 0.5, 2.78125, 1, 0.0625),
    "20-up": (4, 1, 0.0625, 2, 10, 0.15625, 0.5, 4.1875, 1, 0.0625),
    "14-up": (4, 1.333333333, 0.0625, 2, 7, 0.15625, 0.833333333, 4.1875, 1.333333333, 0.0625),
    "10-up": (4, 2, 0.125, 2, 5, 0.1625, 0.5, 4.1875, 2, 0.125),
    "80-up": (1.75, 0.5, 0.0625, 4, 20, 0.28125, 0.5, 2.0625, 0.5, 0.0625),
}
STOCKS = {
    "5160": "30-up", "5260": "30-up", "5660": "30-up",
    "5161": "20-up", "5261": "20-up",
    "5162": "14-up", "5262": "14-up", "5662": "14-up",
    "5163": "10-up",
    "5267": "80-up",
}
ADDRESS = ["{PhoneBK.namef} {PhoneBK.name}", "{PhoneBK.address1}", "{PhoneBK.address2}",
           "{PhoneBK.city}, {PhoneBK.state}  {PhoneBK.zip}"]
RETURN = ["{PhoneBK.extra8}", "{PhoneBK.address1}", "{PhoneBK.address2}",
          "{PhoneBK.city}, {PhoneBK.state}  {PhoneBK.zip}"]


def template(title, database, sheet, lines):
    w, h, r, nx, ny, x0, y0, dx, dy, safe = SHEETS[sheet]
    # The largest of these sizes whose lines all fit the safe area's height (Liberation Sans
    # spaces its lines 1.15 times its size).
    inner = (h - 2 * safe) * 72
    size = next(s for s in (12, 11, 10, 9, 8, 7, 6.5, 6, 5.5, 5) if s * 1.15 * len(lines) <= inner)
    return {
        "format": "quillory-report 1",
        "title": title,
        "database": database,
        "table": "PhoneBK",
        "unit": "in",
        "page": {"width": 8.5, "height": 11, "orientation": "portrait"},
        "font": {"family": "Liberation Sans", "size": size},
        "labels": {"width": w, "height": h, "radius": r, "across": nx, "down": ny,
                   "left": x0, "top": y0, "pitchAcross": dx, "pitchDown": dy},
        "bands": {"detail": {"objects": [
            {"type": "lines", "x": safe, "y": safe, "width": w - 2 * safe,
             "height": h - 2 * safe, "lines": lines}]}},
    }


def write(name, content):
    path = os.path.join(os.path.dirname(__file__), "..", "assets", "beside", name)
    with open(path, "w", encoding="utf-8") as out:
        json.dump(content, out, indent=1)
        out.write("\n")


for stock, sheet in STOCKS.items():
    write(stock + "-1.rpt", template("Labels", "print.mdb", sheet, ADDRESS[:2] + ADDRESS[3:]))
    write(stock + "-2.rpt", template("Labels", "print.mdb", sheet, ADDRESS))
write("self1.rpt", template("Return Address Labels", "name.mdb", "80-up", RETURN[:2] + RETURN[3:]))
write("self2.rpt", template("Return Address Labels", "name.mdb", "80-up", RETURN))
