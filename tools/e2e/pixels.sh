# shellcheck shell=bash
# Pixel measurements on screenshots, with ImageMagick only. Sourced by
# tools/e2e-test.sh.
#
# A screenshot is turned into one-bit masks of what the demo draws, each
# chosen so that the console's graded background cannot enter it:
#   red    the player:   red minus green above 50% (pure red and red under
#                        the console's darkest part both qualify; white,
#                        grey and black never do)
#   watch  the watches:  blue minus red above 8% (their 0xAFAFFF keeps that
#                        difference even under the console)
#   text   console text: every channel above 75% (the 0xFFFFFF edit line
#                        and 0xDDDDDD output; the watches, the boxes seen
#                        through the console and the player stay below)
#   lit    anything drawn: some channel above 10%
# Geometries are ImageMagick's WxH+X+Y, in screen pixels.

# make_masks SHOT [REGION]: writes the masks of SHOT (of its region REGION,
# which starts at the screen's top-left corner, when given) into $MASKS as
# <name>.<kind>.png.
make_masks() {
  local shot=$1 region=${2:-} base
  base=$MASKS/$(basename "$shot" .png)
  local crop=()
  if [[ -n $region ]]; then
    crop=(-crop "$region" +repage)
  fi
  convert "$shot" "${crop[@]}" -write mpr:shot +delete \
    \( mpr:shot -channel R -separate \) \( mpr:shot -channel G -separate \) +channel \
    -compose minus_src -composite -threshold 50% -write "$base.red.png" +delete \
    \( mpr:shot -channel B -separate \) \( mpr:shot -channel R -separate \) +channel \
    -compose minus_src -composite -threshold 8% -write "$base.watch.png" +delete \
    \( mpr:shot -separate -evaluate-sequence min -threshold 75% -write "$base.text.png" +delete \) \
    mpr:shot -separate -evaluate-sequence max -threshold 10% "$base.lit.png"
}

mask_of() { echo "$MASKS/$1.$2.png"; }

# count SHOT KIND GEOMETRY: how many pixels of the mask lie in the region.
count() {
  convert "$(mask_of "$1" "$2")" -crop "$3" +repage -format '%[fx:round(mean*w*h)]\n' info:
}

# bbox SHOT KIND GEOMETRY: "x0 y0 x1 y1" (screen pixels, inclusive) of the
# mask's pixels in the region, or "-1 -1 -1 -1" when there are none.
bbox() {
  local region=$3 box
  if [[ $(count "$1" "$2" "$region") -eq 0 ]]; then
    echo -1 -1 -1 -1
    return
  fi
  # A black frame keeps -trim from taking a lit corner for the background.
  box=$(convert "$(mask_of "$1" "$2")" -crop "$region" +repage -bordercolor black -border 1 -format '%@' info:)
  local ox oy
  ox=$(sed -E 's/^[0-9]+x[0-9]+\+(-?[0-9]+)\+(-?[0-9]+)$/\1/' <<<"$region")
  oy=$(sed -E 's/^[0-9]+x[0-9]+\+(-?[0-9]+)\+(-?[0-9]+)$/\2/' <<<"$region")
  sed -E 's/^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$/\1 \2 \3 \4/' <<<"$box" |
    awk -v ox="$ox" -v oy="$oy" '{ x = $3 - 1 + ox; y = $4 - 1 + oy; print x, y, x + $1 - 1, y + $2 - 1 }'
}

# differ SHOT_A KIND GEOMETRY_A SHOT_B GEOMETRY_B: how many pixels of the
# two equally sized regions' masks differ.
differ() {
  convert \( "$(mask_of "$1" "$2")" -crop "$3" +repage \) \( "$(mask_of "$4" "$2")" -crop "$5" +repage \) \
    -compose difference -composite -format '%[fx:round(mean*w*h)]\n' info:
}

# mean_grey SHOT GEOMETRY: the region's mean brightness, 0..1.
mean_grey() {
  convert "$1" -crop "$2" +repage -colorspace gray -format '%[fx:mean]\n' info:
}

# scaled_region_differ A KIND REGION_A B REGION_B: how many pixels differ
# between A's region, resized to B's region's size, and B's region, both as
# masks; also the union's size. Prints "DIFFERING UNION".
scaled_region_differ() {
  local size=${5%%+*}
  convert \( "$(mask_of "$1" "$2")" -crop "$3" +repage -resize "$size!" -threshold 50% \) \
    \( "$(mask_of "$4" "$2")" -crop "$5" +repage \) \
    \( -clone 0,1 -compose difference -composite -format '%[fx:round(mean*w*h)] ' -write info: +delete \) \
    -compose lighten -composite -format '%[fx:round(mean*w*h)]\n' info:
}

# ---------------------------------------------------------------------------
# The console's layout: lines 19 pixels apart, the edit line (row 0) lowest,
# its top 19 pixels above the console's bottom edge; row R is the R-th
# output line above it. Set by console_layout WIDTH HEIGHT FRACTION.

LINE=19
# The fewest mask pixels that count as text: the lone prompt "> " has a few.
MIN_TEXT=4
console_layout() {
  CON_W=$1
  EDIT_TOP=$(awk -v h="$2" -v f="$3" 'BEGIN { printf "%d", h * f - 19 }')
  ROWS=$((EDIT_TOP / LINE))
}

# row_region R [N]: N rows (1 unless given) from row R upwards.
row_region() {
  local n=${2:-1}
  echo "${CON_W}x$((LINE * n))+0+$((EDIT_TOP - LINE * ($1 + n - 1)))"
}

# same_text A REGION_A B REGION_B: the two regions show the same drawing of
# some text. The masks of one text drawn twice at the same place are equal;
# a tenth is allowed for the scene seen through the console behind the
# letters' soft edges. DETAIL says what was measured.
# shellcheck disable=SC2034  # DETAIL is read by expect
same_text() {
  local n d
  n=$(count "$1" text "$2")
  d=$(differ "$1" text "$2" "$3" "$4")
  DETAIL="$n text pixels, $d differ"
  ((n >= MIN_TEXT && d <= 3 + n / 10))
}

# same_rows A RA B RB [N]: N rows from row RA in A show what N rows from row
# RB show in B.
same_rows() {
  same_text "$1" "$(row_region "$2" "${5:-1}")" "$3" "$(row_region "$4" "${5:-1}")"
}

# has_text SHOT REGION: some text pixels there.
# shellcheck disable=SC2034  # DETAIL is read by expect
has_text() {
  local n
  n=$(count "$1" text "$2")
  DETAIL="$n text pixels"
  ((n >= MIN_TEXT))
}

# rows_with_text SHOT: how many of the rows 1..ROWS hold text (each row's
# mask averaged to one pixel, in one pass).
rows_with_text() {
  convert "$(mask_of "$1" text)" -crop "$(row_region 1 "$ROWS")" +repage -scale "1x${ROWS}!" -depth 16 txt:- |
    awk -v area=$((CON_W * LINE)) -v least="$MIN_TEXT" -F'[(,)]' 'NR > 1 && $3 * area / 65535 >= least { n++ } END { print n + 0 }'
}

# scrolled_rows A B: by how many rows the output of A stands higher in B
# (negative: lower), found by matching up to four rows that hold text;
# "none" when no shift from -3 to ROWS - 1 matches.
scrolled_rows() {
  local s lo hi
  for s in $(seq 0 $((ROWS - 1))) -1 -2 -3; do
    lo=$((s < 0 ? 1 - s : 1))
    hi=$((ROWS - (s > 0 ? s : 0)))
    ((hi - lo >= 1)) || continue
    if ((hi - lo > 3)); then
      hi=$((lo + 3))
    fi
    if same_text "$1" "$(row_region "$lo" $((hi - lo + 1)))" "$2" "$(row_region $((lo + s)) $((hi - lo + 1)))"; then
      echo "$s"
      return
    fi
  done
  echo none
}

# ---------------------------------------------------------------------------
# Masks of one colour, for what is drawn in colours of its own (the live
# graph's columns and step marks).

# colour_mask SHOT KIND COLOUR [FUZZ]: the pixels of SHOT within FUZZ
# (default 6%) of COLOUR, written as the mask KIND of SHOT for count, bbox
# and differ.
colour_mask() {
  convert "$ARTEFACTS/$1.png" -fuzz "${4:-6%}" -fill black +opaque "$3" -fill white -opaque "$3" \
    "$(mask_of "$1" "$2")"
}

# row_runs SHOT KIND GEOMETRY: how many separate runs of rows of the region
# hold pixels of the mask.
row_runs() {
  local h
  h=$(sed -E 's/^[0-9]+x([0-9]+)\+.*/\1/' <<<"$3")
  convert "$(mask_of "$1" "$2")" -crop "$3" +repage -scale "1x${h}!" -depth 16 txt:- |
    awk -F'[(,)]' 'NR > 1 { lit = $3 > 0; if (lit && !was) runs++; was = lit } END { print runs + 0 }'
}
