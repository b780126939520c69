#!/bin/sh
# Writes the texts of the native window as a resource script: for English, German and French a
# STRINGTABLE, and a macro QXT_<LANG>_<id> per text for the dialog templates (TXT(id) in Dialogs.rci).
#   make-texts.sh OUT.rc CORE_DIR LANG_DIR
# English comes from the program's built-in tables (CORE_DIR/StringTable.cpp, whose ids StringTable.h
# names, and CORE_DIR/DialogTexts.cpp; an id of the first stays as it is), German and French from
# LANG_DIR/qxmovedt.lng and qxmovefr.lng ([Strings] id=text, "\n" a line break). A language file names
# only ids that English has; an id it lacks is missing from its STRINGTABLE, and its dialogs show the
# English text. The resource script is Windows-1252: language files in UTF-8 are converted, any other
# file is taken byte for byte. Fails, writing nothing, on anything it cannot read.
set -eu
out=$1
core=$2
lang=$3
LC_ALL=C
export LC_ALL
tmp="$out.tmp"
trap 'rm -f "$tmp" "$tmp".*' EXIT

# The English table: "id<TAB>text" with the text as a resource script string's inside.
english() {
    awk -v header="$core/StringTable.h" '
    BEGIN {
        while ((getline line < header) > 0)
            if (match(line, /^[ \t]*k[A-Za-z0-9]+ = [0-9]+,/)) {
                split(substr(line, RSTART, RLENGTH), part, /[ =,\t]+/)
                n = 1
                while (part[n] == "") n++
                names[part[n]] = part[n + 1]
            }
        close(header)
    }
    function fail(why) { printf "make-texts: %s: %s\n", FILENAME, why > "/dev/stderr"; bad = 1; exit 1 }
    FNR == 1 { text = ""; inside = 0 }
    !inside && (/: m_texts\{$/ || /std::map<int, std::string> texts\{$/) { inside = 1; next }
    inside && (/^      \} \{$/ || /^    \};$/) { inside = 0; parse(text); next }
    inside { text = text $0 "\n" }
    # Entries { KEY, PIECE + PIECE ... }: a key is a number or a name of StringTable.h, a piece a string
    # literal (adjacent ones joined) or std::string(COUNT, CHAR).
    function parse(s,    i, c, depth, key, value, count, ch, lit, j) {
        i = 1; depth = 0
        while (i <= length(s)) {
            c = substr(s, i, 1)
            if (c ~ /[ \t\n,+]/) { i++; continue }
            if (c == "}") { i++; continue }
            if (c != "{") fail("unexpected \"" substr(s, i, 20) "\"")
            i++
            while (substr(s, i, 1) ~ /[ \t\n]/) i++
            if (!match(substr(s, i), /^[A-Za-z0-9_]+/)) fail("no key at \"" substr(s, i, 20) "\"")
            key = substr(s, i, RLENGTH); i += RLENGTH
            if (key !~ /^[0-9]+$/) {
                if (!(key in names)) fail("unknown id " key)
                key = names[key]
            }
            value = ""
            for (;;) {
                while (substr(s, i, 1) ~ /[ \t\n,+]/) i++
                c = substr(s, i, 1)
                if (c == "}") { i++; break }
                if (c == "\"") {
                    i++; lit = ""
                    while ((ch = substr(s, i, 1)) != "\"") {
                        if (ch == "") fail("unterminated string")
                        if (ch == "\\") {
                            ch = substr(s, i + 1, 1)
                            if (ch == "\"") lit = lit "\"\""
                            else if (ch == "\\" || ch == "n" || ch == "t") lit = lit "\\" ch
                            else fail("escape \\" ch)
                            i += 2
                        } else { lit = lit ch; i++ }
                    }
                    i++; value = value lit
                } else if (match(substr(s, i), /^std::string\([0-9]+, *'\''[^\\'\'']'\''\)/)) {
                    lit = substr(s, i, RLENGTH); i += RLENGTH
                    count = lit; sub(/^std::string\(/, "", count); sub(/,.*/, "", count)
                    ch = lit; sub(/^[^'\'']*'\''/, "", ch); ch = substr(ch, 1, 1)
                    if (ch == "\"") ch = "\"\""
                    for (j = 0; j < count + 0; j++) value = value ch
                } else fail("cannot read \"" substr(s, i, 30) "\"")
            }
            if (!(key in seen)) { seen[key] = 1; print key "\t" value }
        }
    }
    END { if (!bad && length(seen) < 100) { print "make-texts: too few English texts" > "/dev/stderr"; exit 1 } }
    ' "$core/StringTable.cpp" "$core/DialogTexts.cpp"
}

# A language file's [Strings] as "id<TAB>text", in Windows-1252, the first line of an id counting.
language() {
    if iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1; then
        iconv -f UTF-8 -t WINDOWS-1252 "$1" >"$tmp.lng" || {
            echo "make-texts: $1 holds a character that Windows-1252 lacks" >&2
            exit 1
        }
    else
        cp "$1" "$tmp.lng"
    fi
    awk '
    { sub(/\r$/, "") }
    /^[ \t]*\[/ { section = $0; gsub(/^[ \t]*\[[ \t]*|[ \t]*\].*$/, "", section); section = tolower(section); next }
    section != "strings" || /^[ \t]*;/ { next }
    {
        eq = index($0, "=")
        if (!eq) next
        key = substr($0, 1, eq - 1); gsub(/^[ \t]+|[ \t]+$/, "", key)
        value = substr($0, eq + 1); gsub(/^[ \t]+|[ \t]+$/, "", value)
        if (key !~ /^[0-9]+$/ || (key in seen)) next
        seen[key] = 1
        if (length(value) >= 2 && value ~ /^".*"$/) value = substr(value, 2, length(value) - 2)
        out = ""
        for (i = 1; i <= length(value); i++) {
            c = substr(value, i, 1)
            if (c == "\"") out = out "\"\""
            else if (c == "\\" && substr(value, i + 1, 1) == "n") { out = out "\\n"; i++ }
            else if (c == "\\") out = out "\\\\"
            else out = out c
        }
        print key "\t" out
    }' "$tmp.lng"
}

english >"$tmp.unsorted"
sort -n "$tmp.unsorted" >"$tmp.en"
language "$lang/qxmovedt.lng" >"$tmp.de"
language "$lang/qxmovefr.lng" >"$tmp.fr"

{
    echo "// Generated by make-texts.sh from StringTable.cpp, DialogTexts.cpp and the language files; do not edit."
    echo "#pragma code_page(1252)"
    awk -F '\t' '
    FILENAME ~ /\.en$/ { en[$1] = $2; order[++n] = $1; next }
    { lang = FILENAME; sub(/.*\./, "", lang); text[lang, $1] = $2 }
    END {
        split("EN DE FR", tag, " "); split("en de fr", file, " ")
        split("LANG_ENGLISH, SUBLANG_ENGLISH_US|LANG_GERMAN, SUBLANG_GERMAN|LANG_FRENCH, SUBLANG_FRENCH", id, "|")
        for (l = 1; l <= 3; l++) {
            printf "\n"
            for (k = 1; k <= n; k++) {
                key = order[k]
                if (l == 1) printf "#define QXT_EN_%s \"%s\"\n", key, en[key]
                else if ((file[l], key) in text) printf "#define QXT_%s_%s \"%s\"\n", tag[l], key, text[file[l], key]
                else printf "#define QXT_%s_%s QXT_EN_%s\n", tag[l], key, key
            }
            printf "\nLANGUAGE %s\nSTRINGTABLE\nBEGIN\n", id[l]
            for (k = 1; k <= n; k++) {
                key = order[k]
                if (l == 1) printf "    %s, \"%s\"\n", key, en[key]
                else if ((file[l], key) in text) printf "    %s, \"%s\"\n", key, text[file[l], key]
            }
            printf "END\n"
        }
    }' "$tmp.en" "$tmp.de" "$tmp.fr"
} >"$tmp"
mv "$tmp" "$out"
