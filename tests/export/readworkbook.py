#!/usr/bin/python3
# Reads an exported workbook back with xlrd and prints, as JSON, the BIFF
# version and for each sheet its non-empty cells with their format string.
import json
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
out = {'biff': book.biff_version, 'sheets': []}
for sheet in book.sheets():
    cells = []
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
            cells.append([r + 1, c + 1, cell.value, fmt, cell.ctype])
    widths = {str(c + 1): info.width // 256 for c, info in sheet.colinfo_map.items()}
    out['sheets'].append({'name': sheet.name, 'cells': cells, 'widths': widths})
json.dump(out, sys.stdout, ensure_ascii=True)
