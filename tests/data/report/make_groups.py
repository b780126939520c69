# Writes the sample group table: the group name is the second field and the group number the third,
# whatever the fields are called. Group 2 is there twice (the first one names it); group 7 has a name
# longer than a group name may be.
import sys, dbf
t = dbf.Table(sys.argv[1], 'id N(4,0); gname C(45); gnumber N(6,0)', dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append((1, 'Fire brigade', 2))
t.append((2, 'Second of two', 2))
t.append((3, 'Caretakers of the north wing and the cellar', 7))
t.close()
