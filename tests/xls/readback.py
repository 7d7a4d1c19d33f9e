#!/usr/bin/python3
# Reads a workbook written by the xls writer back with xlrd and prints what a
# test needs to compare, as JSON:
#   readback.py FILE          every cell (value, type, format string), sheets,
#                             column widths, shared string count, CFB header
#   readback.py FILE pattern  checks that every cell of every sheet holds
#                             "r<row>c<col>" (1-based) and prints counts only
import json
import struct
import sys

import xlrd


def header(path):
    with open(path, 'rb') as f:
        h = f.read(512)
    fat, = struct.unpack_from('<I', h, 44)
    difat, = struct.unpack_from('<I', h, 72)
    return {'signature': h[:8].hex(), 'major': struct.unpack_from('<H', h, 26)[0],
            'fatSectors': fat, 'difatSectors': difat}


def main():
    path = sys.argv[1]
    mode = sys.argv[2] if len(sys.argv) > 2 else 'full'
    book = xlrd.open_workbook(path, formatting_info=(mode == 'full'), on_demand=True)
    out = {'biff': book.biff_version, 'cfb': header(path),
           'sheets': [], 'sst': len(book._sharedstrings)}
    for sheet in book.sheets():
        s = {'name': sheet.name, 'nrows': sheet.nrows, 'ncols': sheet.ncols}
        if mode == 'full':
            s['selected'] = bool(sheet.sheet_selected)
            s['widths'] = {str(c + 1): info.width for c, info in sheet.colinfo_map.items()}
            cells = []
            for r in range(sheet.nrows):
                for c in range(sheet.row_len(r)):
                    cell = sheet.cell(r, c)
                    if cell.ctype == xlrd.XL_CELL_EMPTY:
                        continue
                    xf = book.xf_list[cell.xf_index]
                    cells.append({'r': r + 1, 'c': c + 1, 'v': cell.value, 't': cell.ctype,
                                  'f': book.format_map[xf.format_key].format_str})
            s['cells'] = cells
        else:
            bad = 0
            count = 0
            for r in range(sheet.nrows):
                row = sheet.row_values(r)
                for c, v in enumerate(row):
                    count += 1
                    if v != 'r%dc%d' % (r + 1, c + 1):
                        bad += 1
            s['cells'] = count
            s['bad'] = bad
        out['sheets'].append(s)
    json.dump(out, sys.stdout, ensure_ascii=True)


main()
