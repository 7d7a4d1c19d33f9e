#!/usr/bin/python3
# Lists the BIFF records of a workbook and the streams of its compound file,
# for tests that check which records a writer puts where:
#   records.py FILE   prints JSON: {"streams": [...], "globals": [...],
#                     "sheets": [[...], ...], "counts": [{...}, ...]} where
#                     each record is [name, largest size, count], a run of
#                     records of one name folded into one entry, and counts
#                     gives per substream how many records of each name.
import json
import struct
import sys

import xlrd.compdoc

NAMES = {
    0x0809: 'BOF', 0x000A: 'EOF', 0x00E1: 'INTERFACEHDR', 0x00C1: 'MMS', 0x00E2: 'INTERFACEEND',
    0x005C: 'WRITEACCESS', 0x0042: 'CODEPAGE', 0x0161: 'DSF', 0x013D: 'TABID', 0x009C: 'FNGROUPCOUNT',
    0x0019: 'WINDOWPROTECT', 0x0012: 'PROTECT', 0x0013: 'PASSWORD', 0x01AF: 'PROT4REV',
    0x01BC: 'PROT4REVPASS', 0x003D: 'WINDOW1', 0x0040: 'BACKUP', 0x008D: 'HIDEOBJ', 0x0022: 'DATE1904',
    0x000E: 'PRECISION', 0x01B7: 'REFRESHALL', 0x00DA: 'BOOKBOOL', 0x0031: 'FONT', 0x041E: 'FORMAT',
    0x00E0: 'XF', 0x0293: 'STYLE', 0x0092: 'PALETTE', 0x0085: 'BOUNDSHEET', 0x008C: 'COUNTRY',
    0x01C1: 'RECALCID', 0x00FC: 'SST', 0x003C: 'CONTINUE', 0x00FF: 'EXTSST', 0x0863: 'BOOKEXT',
    0x088C: 'COMPAT12', 0x0896: 'THEME', 0x087C: 'XFCRC', 0x087D: 'XFEXT', 0x0892: 'STYLEEXT',
    0x0160: 'USESELFS', 0x020B: 'INDEX', 0x000D: 'CALCMODE', 0x000C: 'CALCCOUNT', 0x000F: 'REFMODE',
    0x0011: 'ITERATION', 0x0010: 'DELTA', 0x005F: 'SAVERECALC', 0x002A: 'PRINTHEADERS',
    0x002B: 'PRINTGRIDLINES', 0x0082: 'GRIDSET', 0x0080: 'GUTS', 0x0225: 'DEFAULTROWHEIGHT',
    0x0081: 'WSBOOL', 0x001B: 'HORIZONTALPAGEBREAKS', 0x001A: 'VERTICALPAGEBREAKS', 0x0014: 'HEADER',
    0x0015: 'FOOTER', 0x0083: 'HCENTER', 0x0084: 'VCENTER', 0x0026: 'LEFTMARGIN', 0x0027: 'RIGHTMARGIN',
    0x0028: 'TOPMARGIN', 0x0029: 'BOTTOMMARGIN', 0x00A1: 'SETUP', 0x0055: 'DEFCOLWIDTH',
    0x007D: 'COLINFO', 0x0200: 'DIMENSIONS', 0x0208: 'ROW', 0x00FD: 'LABELSST', 0x0201: 'BLANK',
    0x00BE: 'MULBLANK', 0x00D7: 'DBCELL', 0x023E: 'WINDOW2', 0x001D: 'SELECTION', 0x00A0: 'SCL',
    0x0041: 'PANE', 0x00EF: 'PHONETICINFO', 0x0867: 'FEATHEADR', 0x0868: 'SHEETEXT', 0x089C: 'HEADERFOOTER',
    0x01B6: 'TXO', 0x00E5: 'MERGEDCELLS', 0x0862: 'SHEETLAYOUT', 0x0867: 'FEATHEADR', 0x0099: 'STANDARDWIDTH',
    0x0203: 'NUMBER', 0x027E: 'RK', 0x0204: 'LABEL', 0x01AE: 'SUPBOOK', 0x0017: 'EXTERNSHEET',
    0x0018: 'LBL', 0x01C0: 'EXCEL9FILE', 0x0860: 'OBPROJ', 0x00D3: 'OBPROJ', 0x01BA: 'CODENAME',
    0x0858: 'XL5MODIFY', 0x0809: 'BOF', 0x00D5: 'SXVIEW', 0x01B8: 'HLINK', 0x0894: 'MTRSETTINGS',
    0x0897: 'FORCEFULLCALCULATION', 0x00E9: 'BITMAP', 0x00EB: 'MSODRAWINGGROUP',
    0x004D: 'PLS', 0x0089: 'UNKNOWN89', 0x01B0: 'CONDFMT', 0x01B2: 'DV', 0x0236: 'TABLE',
}
FOLD = {'LABELSST', 'BLANK', 'ROW', 'DBCELL', 'COLINFO', 'CONTINUE', 'FONT', 'XF', 'STYLE', 'BOUNDSHEET',
        'FORMAT', 'NUMBER', 'RK', 'LABEL', 'MULBLANK', 'XFEXT', 'STYLEEXT'}


def streams(path):
    with open(path, 'rb') as f:
        data = f.read()
    doc = xlrd.compdoc.CompDoc(data, logfile=open('/dev/null', 'w'))
    names = [d.name for d in doc.dirlist if d.etype == 2]
    return doc, names


def records(stream):
    out = []
    pos = 0
    substreams = []
    while pos + 4 <= len(stream):
        rtype, size = struct.unpack_from("<HH", stream, pos)
        if rtype == 0 and size == 0:
            break  # the padding after the last substream
        name = NAMES.get(rtype, '0x%04X' % rtype)
        if name == 'BOF':
            out = []
            substreams.append(out)
        if out and name in FOLD and out[-1][0] == name:
            out[-1][2] += 1
            out[-1][1] = max(out[-1][1], size)
        else:
            out.append([name, size, 1])
        pos += 4 + size
    return substreams


def main():
    doc, names = streams(sys.argv[1])
    wb = doc.get_named_stream('Workbook') or doc.get_named_stream('Book')
    subs = records(wb)
    counts = []
    for sub in subs:
        c = {}
        for name, size, n in sub:
            c[name] = c.get(name, 0) + n
        counts.append(c)
    json.dump({'streams': names, 'globals': subs[0], 'sheets': subs[1:], 'counts': counts}, sys.stdout)


main()
