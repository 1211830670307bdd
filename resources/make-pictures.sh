#!/usr/bin/env bash
# Draws Zelvoran's pictures into resources/pictures/ with ImageMagick: the image-list strips
# (24-bit bitmaps, magenta where transparent), the JPEG backgrounds and banners, the animated
# GIF of the update window and the program icon. The generated files are committed; run this
# again only to change the look.
set -euo pipefail
cd "$(dirname "$0")"
out=pictures
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
im=/usr/bin/convert
font=DejaVu-Sans
bold=DejaVu-Sans-Bold

# The palette: one blue family, white text, a light blue for selections.
blue='#1E5AA8'; blue_dark='#143F78'; blue_light='#2F7BD8'; sky='#D9F2FF'; ink='#1B2B40'
green='#2E9E4F'; orange='#E08A1E'; red='#C8322F'; grey='#9AA5B1'; key='#FF00FF'

# button W H TEXT TOP BOTTOM TEXTCOLOUR FILE: a rounded button with a vertical gradient.
button() {
  local w=$1 h=$2 text=$3 top=$4 bottom=$5 colour=$6 file=$7 size=${8:-13}
  $im -size "${w}x${h}" "gradient:${top}-${bottom}" \
    \( -size "${w}x${h}" xc:black -fill white +antialias -draw "roundrectangle 0,0 $((w-1)),$((h-1)) 6,6" \) \
    -alpha off -compose copy_opacity -composite \
    -fill none -stroke "$blue_dark" +antialias -draw "roundrectangle 0,0 $((w-1)),$((h-1)) 6,6" \
    -stroke none -antialias -font "$bold" -pointsize "$size" -fill "$colour" -gravity center -annotate +0+0 "$text" \
    -background "$key" -alpha remove -alpha off "$file"
}

# strip NAME CELLS...: joins cells left to right into a 24-bit bitmap.
strip() {
  local name=$1
  shift
  $im "$@" +append -type TrueColor "BMP3:$out/$name.bmp"
}

# Page buttons of the main window: normal, active.
cells=()
i=0
for text in "Scan" "Backup" "Advanced"; do
  button 136 33 "$text" '#F4F8FD' '#DCE7F5' "$blue_dark" "$tmp/main$i.png" 14; cells+=("$tmp/main$i.png"); i=$((i+1))
  button 136 33 "$text" "$blue_light" "$blue" white "$tmp/main$i.png" 14; cells+=("$tmp/main$i.png"); i=$((i+1))
done
strip mainimages "${cells[@]}"

# Action buttons: normal, under the mouse.
# A cell of the strip may be wider than its button (GAP transparent columns at the right).
action_strip() {
  local name=$1 w=$2 h=$3 size=$4 gap=$5
  shift 5
  local cells=() i=0
  for text in "$@"; do
    for face in "$blue $blue_dark" "$blue_light $blue"; do
      # shellcheck disable=SC2086
      button "$((w-gap))" "$h" "$text" $face white "$tmp/$name$i.png" "$size"
      $im "$tmp/$name$i.png" -background "$key" -gravity west -extent "${w}x${h}" "$tmp/$name$i.png"
      cells+=("$tmp/$name$i.png"); i=$((i+1))
    done
  done
  strip "$name" "${cells[@]}"
}
action_strip scanimages 136 33 14 0 "Scan Now" "Abort" "Repair" "Finish"
action_strip backupimages 136 33 14 0 "Backup" "Restore" "Remove"
# The title band's buttons stand 52 and 60 pixels apart and 53 from the window's right edge:
# each picture leaves its last two columns clear, so that they neither touch nor reach the edge.
action_strip exbtnimages 53 22 10 2 "Help" "Options" "About"

# Minimise and close, drawn on the title band: light glyphs, a lighter face under the mouse.
minclose() {   # FILE FACE GLYPH-DRAW...
  local file=$1 face=$2
  shift 2
  local base=(-size 21x11 "xc:$key")
  [ "$face" != none ] && base+=(-fill "$face" +antialias -draw "roundrectangle 0,0 20,10 3,3")
  $im "${base[@]}" +antialias "$@" "$file"
}
minclose "$tmp/mc0.png" none -fill "$sky" -draw "rectangle 6,7 14,8"
minclose "$tmp/mc1.png" "$blue_light" -fill white -draw "rectangle 6,7 14,8"
minclose "$tmp/mc2.png" none -stroke "$sky" -strokewidth 2 -draw "line 7,2 13,8" -draw "line 13,2 7,8"
minclose "$tmp/mc3.png" "$red" -stroke white -strokewidth 2 -draw "line 7,2 13,8" -draw "line 13,2 7,8"
strip mincloseimages "$tmp"/mc{0,1,2,3}.png

# Check boxes: unticked and ticked; drawn at the top of a taller cell.
checkbox() {   # FILE HEIGHT TICKED FRAME
  local file=$1 h=$2 ticked=$3 frame=$4
  local draw=(-fill white -stroke "$frame" +antialias -draw "rectangle 1,1 14,14")
  if [ "$ticked" = 1 ]; then draw+=(-stroke "$green" -strokewidth 2 -draw "polyline 4,8 7,11 12,4"); fi
  $im -size "16x$h" "xc:$key" "${draw[@]}" "$file"
}
checkbox "$tmp/s0.png" 16 0 "$blue_dark"
checkbox "$tmp/s1.png" 16 1 "$blue_dark"
# The details switch of a row (the startup manager's): closed, pointing right, and open, pointing down.
$im -size 16x16 "xc:$key" +antialias -fill "$blue" -draw "polygon 5,3 11,8 5,13" "$tmp/s2.png"
$im -size 16x16 "xc:$key" +antialias -fill "$blue" -draw "polygon 3,5 13,5 8,11" "$tmp/s3.png"
# Seven frames of the scanning animation: a bright dot running round a ring.
for f in 0 1 2 3 4 5 6; do
  draw=()
  for d in 0 1 2 3 4 5 6; do
    angle=$(echo "$d * 6.2832 / 7 - 1.5708" | bc -l)
    x=$(printf '%.0f' "$(echo "8 + 5.5 * c($angle)" | bc -l)")
    y=$(printf '%.0f' "$(echo "8 + 5.5 * s($angle)" | bc -l)")
    colour=$sky
    [ "$d" = "$f" ] && colour=$blue
    [ "$d" = $(( (f + 6) % 7 )) ] && colour=$blue_light
    draw+=(-fill "$colour" -draw "circle $x,$y $((x+1)),$((y+1))")
  done
  $im -size 16x16 "xc:$key" +antialias "${draw[@]}" "$tmp/s$((f+4)).png"
done
$im -size 16x16 "xc:$key" +antialias -fill "$green" -draw "circle 8,8 8,1" \
  -stroke white -strokewidth 2 -draw "polyline 4,8 7,11 12,5" "$tmp/s11.png"
$im -size 16x16 "xc:$key" +antialias -fill "$red" -draw "circle 8,8 8,1" \
  -fill white -draw "rectangle 7,3 8,9" -draw "rectangle 7,11 8,12" "$tmp/s12.png"
strip statimages "$tmp"/s{0,1,2,3,4,5,6,7,8,9,10,11,12}.png

checkbox "$tmp/p0.png" 70 0 "$blue_dark"
checkbox "$tmp/p1.png" 70 1 "$blue_dark"
strip problemsimages "$tmp/p0.png" "$tmp/p1.png"

# The backup rows' picture: a registry script page.
$im -size 16x56 "xc:$key" +antialias -fill white -stroke "$blue_dark" -draw "polygon 2,1 10,1 14,5 14,18 2,18 2,1" \
  -stroke "$blue_light" -draw "line 5,8 11,8" -draw "line 5,11 11,11" -draw "line 5,14 9,14" "$tmp/b0.png"
strip backupstatimages "$tmp/b0.png"

# Severity: one, two or three bars.
for level in 1 2 3; do
  colours=("$green" "$orange" "$red")
  colour=${colours[$((level-1))]}
  draw=()
  for b in 0 1 2; do
    fill=$sky
    [ "$b" -lt "$level" ] && fill=$colour
    draw+=(-fill "$fill" -stroke "$grey" -draw "rectangle $((b*12+1)),$((8-b*3)) $((b*12+10)),11")
  done
  $im -size 36x12 "xc:$key" +antialias "${draw[@]}" "$tmp/l$level.png"
done
strip lelvelimages "$tmp"/l{1,2,3}.png

# The home-page button of the about box and the main window: normal, under the mouse.
logo() {   # FILE TOP BOTTOM
  $im -size 153x60 "gradient:$2-$3" -font "$bold" -pointsize 26 -fill white -gravity west -annotate +14-6 "Zelvoran" \
    -font "$font" -pointsize 10 -fill "$sky" -annotate +16+17 "registry care you can undo" "$1"
}
logo "$tmp/a0.png" "$blue" "$blue_dark"
logo "$tmp/a1.png" "$blue_light" "$blue"
strip aboutimages "$tmp/a0.png" "$tmp/a1.png"

# Backup page tabs: Partial normal and active, Full normal and active.
i=0
for text in "Partial" "Full"; do
  button 107 31 "$text" '#F4F8FD' '#DCE7F5' "$blue_dark" "$tmp/t$i.png" 13; i=$((i+1))
  button 107 31 "$text" "$blue_light" "$blue" white "$tmp/t$i.png" 13; i=$((i+1))
done
strip backuptabimages "$tmp"/t{0,1,2,3}.png

# The program's mark: a blue rounded square with a white Z.
mark() {   # SIZE FILE
  local s=$1 r=$(( $1 / 5 ))
  $im -size "${s}x${s}" xc:none -fill "$blue" -draw "roundrectangle 0,0 $((s-1)),$((s-1)) $r,$r" \
    -font "$bold" -pointsize $(( s * 3 / 4 )) -fill white -gravity center -annotate +0+0 "Z" "$2"
}
mark 16 "$tmp/m16.png"
mark 32 "$tmp/m32.png"
mark 48 "$tmp/m48.png"
$im "$tmp/m16.png" "$tmp/m32.png" "$tmp/m48.png" "$out/zelvoran.ico"

# Tray menu: the program, the update. Drawn without blending into the transparent magenta, so
# that no pink rim stays around the mark.
$im -size 16x16 "xc:$key" +antialias -fill "$blue" -draw "roundrectangle 0,0 15,15 3,3" -antialias \
  -font "$bold" -pointsize 12 -fill white -gravity center -annotate +0+0 "Z" "$tmp/pop0.png"
$im -size 16x16 "xc:$key" +antialias -fill "$green" -draw "polygon 8,1 14,8 10,8 10,14 6,14 6,8 2,8" "$tmp/pop1.png"
strip popupimages "$tmp/pop0.png" "$tmp/pop1.png"

# The twelve tools, in the order of their launcher pictures ImageEx1 .. ImageEx12.
i=0
for glyph in "Un" "Ax" "Bh" "Hi" "Er" "Ie" "Jk" "Op" "Rx" "St" "Rp" "Me"; do
  $im -size 32x32 "xc:$key" +antialias -fill "$blue" -draw "roundrectangle 0,0 31,31 6,6" -antialias \
    -font "$bold" -pointsize 14 -fill white -gravity center -annotate +0+0 "$glyph" "$tmp/tool$i.png"
  i=$((i+1))
done
strip toolicons "$tmp"/tool{0,1,2,3,4,5,6,7,8,9,10,11}.png

# JPEG pictures: the main window's background, the about box's banner in two parts.
# The background: the title band (87 pixels, under the title picture and its buttons), the
# column of the page buttons on the left (153 pixels wide) and the page area.
$im -size 650x87 "gradient:$blue-$blue_dark" \
  \( "$tmp/m48.png" \) -gravity northwest -geometry +18+18 -composite \
  -font "$bold" -pointsize 28 -fill white -gravity northwest -annotate +78+16 "Zelvoran" \
  -font "$font" -pointsize 11 -fill "$sky" -annotate +80+53 "registry cleaner" \
  -fill "$blue_light" -draw "rectangle 0,85 649,86" \
  \( \( -size 153x373 gradient:'#F4F8FD'-'#DCE7F5' -fill '#C5D6EC' -draw "rectangle 152,0 152,372" \) \
     \( -size 497x373 gradient:white-'#E8F0FA' \) +append \) -append \
  -quality 90 "$out/main-background.jpg"
$im "$tmp/a0.png" -resize 160x64! -quality 92 "$out/about-left.jpg"
$im -size 320x64 "gradient:$blue-$blue_dark" -font "$font" -pointsize 13 -fill white -gravity west \
  -annotate +12-9 "Finds and repairs invalid registry entries." \
  -fill "$sky" -annotate +12+11 "Every repair is backed up first." -quality 92 "$out/about-right.jpg"

# The first-run backup dialog's banner (465 x 60).
$im -size 465x60 "gradient:$blue-$blue_dark" \( "$tmp/m48.png" \) -gravity west -geometry +10+0 -composite \
  -font "$bold" -pointsize 17 -fill white -gravity northwest -annotate +70+11 "Create a full registry backup" \
  -font "$font" -pointsize 11 -fill "$sky" -annotate +71+35 "A copy of the whole registry, kept before the first repair." \
  -quality 92 "$out/first-backup-banner.jpg"

# The repair dialog's animation (304 x 60, 25 frames, 80 ms each): a page leaves the registry
# folder on the left and drops into the bin on the right, whose lid then closes.
frames=()
for f in $(seq 0 24); do
  draw=(-fill '#F2C94C' -stroke '#B8892B' -draw "polygon 20,22 34,22 38,26 62,26 62,50 20,50"
        -fill '#7F8C99' -stroke '#4E5966' -draw "polygon 246,24 274,24 270,52 250,52"
        -stroke '#4E5966' -draw "line 254,29 255,48" -draw "line 260,29 260,48" -draw "line 266,29 265,48")
  lid=$(( f > 20 ? 0 : 1 ))
  [ $lid = 1 ] && draw+=(-fill '#7F8C99' -draw "polygon 244,19 262,12 264,16 246,23")
  [ $lid = 0 ] && draw+=(-fill '#7F8C99' -draw "rectangle 243,20 277,23")
  if [ "$f" -le 20 ]; then   # the page's flight: a parabola from the folder to the bin
    t=$(echo "$f / 20" | bc -l)
    x=$(printf '%.0f' "$(echo "40 + 220 * $t" | bc -l)")
    y=$(printf '%.0f' "$(echo "30 - 80 * $t * (1 - $t) + 4 * $t" | bc -l)")
    draw+=(-fill white -stroke "$blue_dark" -draw "rectangle $((x-6)),$((y-8)) $((x+6)),$((y+8))"
           -stroke "$blue_light" -draw "line $((x-3)),$((y-3)) $((x+3)),$((y-3))" -draw "line $((x-3)),$((y+1)) $((x+3)),$((y+1))")
  fi
  $im -size 304x60 xc:white -fill none -stroke '#C5D6EC' -draw "rectangle 0,0 303,59" +antialias "${draw[@]}" "$tmp/r$f.png"
  frames+=("$tmp/r$f.png")
done
$im -delay 8 -loop 0 "${frames[@]}" -colors 32 "$out/repair.gif"

# The update window's animation (350 x 80 on the window's colour): the mark and the title on the
# left, a ring of dots turning on the right; eight frames, a tenth of a second each, for ever.
frames=()
for f in 0 1 2 3 4 5 6 7; do
  draw=()
  for d in 0 1 2 3 4 5 6 7; do
    angle=$(echo "$d * 6.2832 / 8 - 1.5708" | bc -l)
    x=$(printf '%.0f' "$(echo "300 + 22 * c($angle)" | bc -l)")
    y=$(printf '%.0f' "$(echo "40 + 22 * s($angle)" | bc -l)")
    age=$(( (f - d + 8) % 8 ))
    colour=$sky
    [ "$age" = 0 ] && colour=$blue
    [ "$age" = 1 ] && colour=$blue_light
    [ "$age" = 2 ] && colour='#8FB8E8'
    draw+=(-fill "$colour" -draw "circle $x,$y $((x+5)),$y")
  done
  $im -size 350x80 'xc:#FDFDFD' \( "$tmp/m48.png" -background '#FDFDFD' -alpha remove -alpha off \) \
    -gravity northwest -geometry +8+16 -composite \
    -font "$bold" -pointsize 20 -fill "$blue_dark" -annotate +68+18 "Zelvoran" \
    -font "$font" -pointsize 12 -fill "$ink" -annotate +69+46 "Live Update" \
    +antialias "${draw[@]}" "$tmp/g$f.png"
  frames+=("$tmp/g$f.png")
done
$im -delay 10 -loop 0 "${frames[@]}" -colors 32 "$out/update.gif"
echo "pictures written to $(pwd)/$out"
