#!/usr/bin/python3
# Reads an .xlsx workbook back with openpyxl and prints, as JSON, what a test
# compares: the sheets in order with their cells (value and number format),
# column widths, and the index of the sheet the workbook opens on.
#   readback_xlsx.py FILE [count]   with "count": cells per sheet only
import json
import sys

import openpyxl


def main():
    path = sys.argv[1]
    counts = len(sys.argv) > 2
    book = openpyxl.load_workbook(path)
    out = {'active': book.index(book.active), 'sheets': []}
    for ws in book.worksheets:
        s = {'name': ws.title}
        if counts:
            n = 0
            bad = 0
            # Only the cells the file holds (iter_rows would visit every
            # empty cell up to the last one).
            for (r, c), cell in ws._cells.items():
                if cell.value is None:
                    continue
                n += 1
                if cell.value != 'r%dc%d' % (r, c):
                    bad += 1
            s['cells'] = n
            s['bad'] = bad
        else:
            s['selected'] = bool(ws.sheet_view.tabSelected)
            s['cells'] = [{'r': c.row, 'c': c.column, 'v': c.value, 'f': c.number_format}
                          for row in ws.iter_rows() for c in row
                          if c.value is not None or c.number_format != 'General']
            s['widths'] = {}
            for key, dim in ws.column_dimensions.items():
                if dim.width is not None and (dim.customWidth or dim.hidden):
                    for col in range(dim.min, dim.max + 1):
                        s['widths'][str(col)] = 0 if dim.hidden else round(dim.width, 2)
        out['sheets'].append(s)
    json.dump(out, sys.stdout, ensure_ascii=True)


main()
