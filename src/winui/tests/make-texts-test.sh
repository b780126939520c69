#!/bin/sh
# Checks make-texts.sh on small tables: what it writes for each kind of entry, and that it fails,
# writing nothing, on what it cannot read.
#   make-texts-test.sh MAKE_TEXTS WORK_DIR
set -u
tool=$1
work=$2
LC_ALL=C
export LC_ALL
rm -rf "$work"
mkdir -p "$work/core" "$work/lang"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

write_tables() {  # extra English entry of StringTable.cpp
    printf 'enum StringId : int {\n    kStrAbout = 101,\n    kStrReport = 122,\n};\n' >"$work/core/StringTable.h"
    {
        echo 'StringTable::StringTable()'
        echo '    : m_texts{'
        echo '          {kStrAbout, "About \"qx\"..."},'
        echo "          {kStrReport, \"\\\\nReport %02d\\\\n\" + std::string(3, '*') +"
        echo '                           "\\n"},'
        echo "$1"
        echo '      } {'
        echo '}'
    } >"$work/core/StringTable.cpp"
    {
        echo 'const std::map<int, std::string>& dialogTexts() {'
        echo '    static const std::map<int, std::string> texts{'
        echo '        {101, "loses against the table above"},'
        echo '        {1000, "Save"},'
        echo '        {1072,'
        echo '         "two "'
        echo '         "pieces"},'
        i=3000
        while [ $i -lt 3100 ]; do echo "        {$i, \"t$i\"},"; i=$((i + 1)); done
        echo '    };'
        echo '}'
    } >"$work/core/DialogTexts.cpp"
}

write_tables ""
printf '; comment\r\n[Other]\r\n1000=not this\r\n[Strings]\r\n1000 = "Speichern" \r\n1000=second\r\n101=a "b" c:\\dir \\n end\r\n3000=\303\244\r\n' \
    >"$work/lang/qxmovedt.lng"
printf '[Strings]\n1000=Enregistrer\n' >"$work/lang/qxmovefr.lng"

if ! sh "$tool" "$work/out.rc" "$work/core" "$work/lang"; then
    fail "the tables were not read"
else
    # Each expected line of the output.
    while IFS= read -r line; do
        grep -qxF -- "$line" "$work/out.rc" || fail "missing: $line"
    done <<'EOF'
#pragma code_page(1252)
#define QXT_EN_101 "About ""qx""..."
#define QXT_EN_122 "\nReport %02d\n***\n"
#define QXT_EN_1000 "Save"
#define QXT_EN_1072 "two pieces"
#define QXT_DE_1000 "Speichern"
#define QXT_DE_101 "a ""b"" c:\\dir \n end"
#define QXT_DE_1072 QXT_EN_1072
#define QXT_FR_1000 "Enregistrer"
#define QXT_FR_122 QXT_EN_122
LANGUAGE LANG_GERMAN, SUBLANG_GERMAN
    1000, "Speichern"
EOF
    # UTF-8 in a language file arrives as its Windows-1252 byte.
    printf '#define QXT_DE_3000 "\344"\n' | grep -qxFf - "$work/out.rc" || fail "a UTF-8 letter was not converted"
    # A text the language lacks is left out of its table, not filled with English.
    [ "$(grep -c '^    1072, ' "$work/out.rc")" = 1 ] || fail "1072 is in more than the English table"
fi

# What it cannot read fails and leaves no output behind.
bad() {  # why, then the files are as the caller left them
    rm -f "$work/bad.rc"
    if sh "$tool" "$work/bad.rc" "$work/core" "$work/lang" 2>/dev/null; then fail "accepted $1"; fi
    [ ! -e "$work/bad.rc" ] || fail "wrote output for $1"
}
printf '[Strings]\n1000=\342\234\223\n' >"$work/lang/qxmovefr.lng"
bad "a character that Windows-1252 lacks"
printf '[Strings]\n1000=Enregistrer\n' >"$work/lang/qxmovefr.lng"
write_tables '          {kStrUnknown, "x"},'
bad "an id StringTable.h does not name"
write_tables '          {kStrAbout, someFunction()},'
bad "an entry that is no text"

[ "$failures" = 0 ] && echo "make-texts: all checks passed"
exit "$failures"
