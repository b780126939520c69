#!/bin/sh
# Draws the program's icon as a Windows icon file with 16, 32 and 48 pixel images (32 bits, alpha):
# on a blue rounded square, a stack of files above an arrow into a yellow folder, as the Qt window
# draws it.
#   make-icon.sh OUT.ico
set -eu
LC_ALL=C
export LC_ALL
awk '
function byte(v) { printf "%c", v % 256 }
function le16(v) { byte(v % 256); byte(int(v / 256)) }
function le32(v) { le16(v % 65536); le16(int(v / 65536)) }
function inside(x, y, s,    u, r, cx, cy) {
    # 0 outside, 1 blue, 2 white, 3 yellow; x and y are the centre of a pixel, s the size.
    u = s / 16; r = s / 6
    cx = x < r ? r : (x > s - r ? s - r : x)
    cy = y < r ? r : (y > s - r ? s - r : y)
    if ((x - cx) ^ 2 + (y - cy) ^ 2 > r ^ 2) return 0
    if (x >= 3 * u && x < 9 * u && ((y >= 3 * u && y < 4.5 * u) || (y >= 5.5 * u && y < 7 * u) || (y >= 8 * u && y < 9.5 * u)))
        return 2
    if (x >= 10 * u && x <= 10 * u + 3 * u * (1 - (y > 7.5 * u ? y - 7.5 * u : 7.5 * u - y) / (3.5 * u)))
        return 2
    if (x >= 3 * u && x < 13 * u && y >= 11.5 * u && y < 13.5 * u) return 3
    return 1
}
BEGIN {
    n = split("16 32 48", sizes, " ")
    le16(0); le16(1); le16(n)
    offset = 6 + 16 * n
    for (i = 1; i <= n; i++) {
        s = sizes[i]
        bytes[i] = 40 + s * s * 4 + s * int((s + 31) / 32) * 4
        byte(s); byte(s); byte(0); byte(0); le16(1); le16(32); le32(bytes[i]); le32(offset)
        offset += bytes[i]
    }
    split("0 0 0 0|168 95 31 255|255 255 255 255|52 177 242 255", colour, "|")
    for (i = 1; i <= n; i++) {
        s = sizes[i]
        le32(40); le32(s); le32(2 * s); le16(1); le16(32); le32(0); le32(s * s * 4); le32(0); le32(0); le32(0); le32(0)
        for (y = s - 1; y >= 0; y--)
            for (x = 0; x < s; x++) {
                split(colour[inside(x + 0.5, y + 0.5, s) + 1], bgra, " ")
                byte(bgra[1]); byte(bgra[2]); byte(bgra[3]); byte(bgra[4])
            }
        for (k = 0; k < s * int((s + 31) / 32) * 4; k++) byte(0)
    }
}' >"$1.tmp"
mv "$1.tmp" "$1"
