"""Builds an alarm table laid out as the alarm server's vm001.dbf, with python3-dbf as the writer.

usage: /usr/bin/python3 make_alarm_table.py FILE RECORDS

Fields T01..T30 and T59..T99 are N(10,0), T31..T58 character fields of the alarm record's text sizes
less one. Record r (alarm number r - 1) holds:
  integers  Tnn = n * 100000 + r, except T02 = 91 (an alarm definition) when (r - 1) % 3 == 0, else 90
  texts     Tnn = "nn:r", except T33 = "Alarm <r - 1>", blanks only for number 42, and 49 'N's for 3999
"""
import sys

import dbf

TEXT_LENGTHS = {}
for n in range(31, 34):
    TEXT_LENGTHS[n] = 49
for n in range(34, 41):
    TEXT_LENGTHS[n] = 64
for n in range(41, 45):
    TEXT_LENGTHS[n] = 99
for n in range(45, 53):
    TEXT_LENGTHS[n] = 29
TEXT_LENGTHS[53] = 59
for n in range(54, 59):
    TEXT_LENGTHS[n] = 21


def field_list():
    fields = []
    for n in range(1, 100):
        if n in TEXT_LENGTHS:
            fields.append('T%02d C(%d)' % (n, TEXT_LENGTHS[n]))
        else:
            fields.append('T%02d N(10,0)' % n)
    return '; '.join(fields)


def values(r):
    number = r - 1
    row = []
    for n in range(1, 100):
        if n == 2:
            row.append(91 if number % 3 == 0 else 90)
        elif n == 33:
            row.append('' if number == 42 else 'N' * 49 if number == 3999 else 'Alarm %d' % number)
        elif n in TEXT_LENGTHS:
            row.append('%02d:%d' % (n, r))
        else:
            row.append(n * 100000 + r)
    return tuple(row)


def main():
    path, count = sys.argv[1], int(sys.argv[2])
    table = dbf.Table(path, field_list(), dbf_type='db3')
    table.open(dbf.READ_WRITE)
    for r in range(1, count + 1):
        table.append(values(r))
    table.close()


if __name__ == '__main__':
    main()
