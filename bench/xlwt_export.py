#!/usr/bin/python3
# The yardstick of the export benchmark: what a user's own short script does
# with a DXL file. It reads the documents in file order with lxml's iterparse
# (no view, no sorting), writes one row per document - its note ID, then the
# first value of each item of the first document, as text - with xlwt, and
# each attachment as a file in a folder per document. No log.
#   xlwt_export.py DXL WORKBOOK FOLDER
import base64
import os
import sys

import xlwt
from lxml import etree

NS = '{http://www.lotus.com/dxl}'


def first_value(item):
    for child in item:
        tag = child.tag[len(NS):]
        if tag in ('textlist', 'numberlist', 'datetimelist'):
            child = child[0] if len(child) else None
            if child is None:
                return ''
        if tag == 'richtext':
            return '\n'.join(''.join(p.itertext()) for p in child.iter(NS + 'par'))
        return child.text or ''
    return ''


def main():
    dxl, workbook, folder = sys.argv[1:4]
    book = xlwt.Workbook(encoding='utf-8')
    sheet = book.add_sheet('Sheet1')
    names = None
    row = 0
    for _, doc in etree.iterparse(dxl, events=('end',), tag=NS + 'document'):
        note = doc.find(NS + 'noteinfo').get('noteid')
        values = {}
        for item in doc.iterfind(NS + 'item'):
            name = item.get('name')
            if name == '$FILE':
                for f in item.iter(NS + 'file'):
                    data = f.find(NS + 'filedata')
                    target = os.path.join(folder, note)
                    os.makedirs(target, exist_ok=True)
                    with open(os.path.join(target, f.get('name')), 'wb') as out:
                        out.write(base64.b64decode(data.text or ''))
            values.setdefault(name, first_value(item))
        if names is None:
            names = list(values)
            sheet.write(0, 0, '文档ID')
            for j, name in enumerate(names):
                sheet.write(0, j + 1, name)
        row += 1
        sheet.write(row, 0, note)
        for j, name in enumerate(names):
            sheet.write(row, j + 1, values.get(name, ''))
        doc.clear()
        while doc.getprevious() is not None:
            del doc.getparent()[0]
    book.save(workbook)


main()
