#!/usr/bin/awk -f
# Reads a plain PBM image (P1) and prints the longest horizontal and the longest
# vertical run of set pixels: "ROW_RUN COLUMN_RUN".
BEGIN { n = 0; width = -1; height = -1 }
{
  sub(/#.*/, "")
  for (i = 1; i <= NF; i++) {
    if (n == 0) { if ($i != "P1") { print "not a plain PBM image" > "/dev/stderr"; exit 1 } n = 1; continue }
    if (width < 0) { width = $i; continue }
    if (height < 0) { height = $i; pixel = 0; continue }
    # P1 allows the bits to be run together without blanks.
    len = length($i)
    for (k = 1; k <= len; k++) {
      bit = substr($i, k, 1)
      x = pixel % width
      if (x == 0) row = 0
      if (bit == "1") {
        row++; if (row > best_row) best_row = row
        column[x]++; if (column[x] > best_column) best_column = column[x]
      } else {
        row = 0; column[x] = 0
      }
      pixel++
    }
  }
}
END { printf "%d %d\n", best_row, best_column }
