#!/usr/bin/env bash
# Draws the skin images into res/, each named by its resource id.
# Needs ImageMagick's convert and the DejaVu fonts. Run it again after
# changing a colour or a face; the PNGs are committed beside it.
set -euo pipefail
cd "$(dirname "$0")"

FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
BOLD=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
BASE='rgb(213,224,240)'
LIGHT='rgb(238,243,251)'
EDGE='rgb(112,140,186)'
DEEP='rgb(52,92,160)'
HOT='rgb(246,250,255)'
PRESS='rgb(178,200,234)'
INK='rgb(24,36,60)'

# ---- background 129 ---------------------------------------------------------
convert -size 720x540 "xc:$BASE" \
  \( -size 720x22 gradient:'rgb(196,212,238)-rgb(166,190,228)' \) -geometry +0+0 -composite \
  \( -size 720x18 "xc:rgb(226,234,247)" \) -geometry +0+22 -composite \
  \( -size 720x68 gradient:'rgb(244,247,253)-rgb(204,217,238)' \) -geometry +0+40 -composite \
  -fill none -stroke "$EDGE" -draw "line 0,22 719,22" -draw "line 0,108 719,108" \
  -stroke 'rgb(150,172,208)' -draw "line 0,39 719,39" \
  -fill "$LIGHT" -stroke "$EDGE" -draw "roundrectangle 513,43 712,509 5,5" \
  -fill 'rgb(16,20,28)' -stroke "$DEEP" -draw "rectangle 519,47 706,186" \
  -fill 'rgb(226,234,247)' -stroke 'rgb(150,172,208)' -draw "roundrectangle 522,189 704,221 4,4" \
  -fill white -stroke "$EDGE" -draw "rectangle 517,266 708,506" \
  -fill none -stroke "$EDGE" -draw "rectangle 13,111 506,438" \
  -stroke 'rgb(150,172,208)' -draw "line 8,442 508,442" -draw "line 8,500 508,500" \
  -stroke none -fill "$INK" -font "$FONT" -pointsize 11 \
  -annotate +16+460 'Profile:' -annotate +16+487 'Output:' -annotate +16+518 'Progress:' \
  -annotate +521+263 'Conversion settings' \
  -fill 'rgb(255,255,255)' -draw "circle 10,11 10,5" -fill "$DEEP" -draw "circle 10,11 10,8" \
  -fill "$INK" -font "$BOLD" -pointsize 11 -annotate +22+15 'Orvantic' \
  PNG8:129.png

# crop X Y W H OUT: a face's background, cut from the skin where it sits.
crop() { convert 129.png -crop "$3x$4+$1+$2" +repage "PNG32:$5"; }

# face IN OUT STATE: hover and pressed states get a rounded plate.
plate() {
  local in=$1 out=$2 state=$3 w h
  w=$(identify -format %w "$in"); h=$(identify -format %h "$in")
  case $state in
    normal) cp "$in" "$out" ;;
    hot) convert "$in" -fill "$HOT" -stroke "$EDGE" \
           -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) 4,4" "PNG32:$out" ;;
    pressed) convert "$in" -fill "$PRESS" -stroke "$DEEP" \
           -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) 4,4" "PNG32:$out" ;;
  esac
}

# ---- menu words -------------------------------------------------------------
# menu_word ID_NORMAL ID_PRESSED ID_HOT X Y W H WORD
menu_word() {
  local n=$1 p=$2 hot=$3 x=$4 y=$5 w=$6 h=$7 word=$8 state id
  for state in normal pressed hot; do
    case $state in normal) id=$n ;; pressed) id=$p ;; hot) id=$hot ;; esac
    crop "$x" "$y" "$w" "$h" /tmp/orv_face.png
    plate /tmp/orv_face.png /tmp/orv_plate.png "$state"
    convert /tmp/orv_plate.png -fill "$INK" -font "$FONT" -pointsize 11 -gravity center \
      -annotate +0+0 "$word" "PNG32:$id.png"
  done
}
menu_word 135 139 136 13 24 27 14 'File'
menu_word 141 142 140 48 24 29 14 'Edit'
menu_word 151 152 150 84 24 50 14 'Settings'
menu_word 154 155 153 144 24 31 14 'Play'
menu_word 157 158 156 180 24 48 14 'Convert'
menu_word 160 161 159 237 24 31 14 'Help'

# ---- toolbar buttons: a symbol above a word -----------------------------------
# tool ID_NORMAL ID_PRESSED ID_HOT X W WORD DRAW...
tool() {
  local n=$1 p=$2 hot=$3 x=$4 w=$5 word=$6 state id shift
  shift 6
  for state in normal pressed hot; do
    case $state in normal) id=$n ;; pressed) id=$p ;; hot) id=$hot ;; esac
    crop "$x" 42 "$w" 64 /tmp/orv_face.png
    plate /tmp/orv_face.png /tmp/orv_plate.png "$state"
    shift=0; [[ $state == pressed ]] && shift=1
    convert /tmp/orv_plate.png \( -size 32x32 xc:none "$@" \) \
      -geometry +$(((w - 32) / 2 + shift))+$((7 + shift)) -composite \
      -stroke none -strokewidth 1 -fill "$INK" -font "$FONT" -pointsize 11 -gravity north \
      -annotate +${shift}+$((44 + shift)) "$word" "PNG32:$id.png"
  done
}
tool 138 149 137 26 62 'Add' -fill 'rgb(46,150,70)' -stroke 'rgb(24,100,44)' \
  -draw "roundrectangle 12,3 19,28 2,2" -draw "roundrectangle 3,12 28,19 2,2"
tool 163 164 162 88 66 'Remove' -fill 'rgb(208,64,56)' -stroke 'rgb(140,36,30)' \
  -draw "roundrectangle 3,12 28,19 2,2"
tool 166 169 168 154 65 'Clear' -fill 'rgb(250,250,252)' -stroke "$DEEP" \
  -draw "rectangle 7,5 24,28" -draw "line 10,11 21,11" -draw "line 10,16 21,16" \
  -draw "line 10,21 21,21" -stroke 'rgb(208,64,56)' -strokewidth 3 \
  -draw "line 4,4 27,27" -draw "line 27,4 4,27"
tool 170 167 165 219 65 'Convert' -fill "$DEEP" -stroke none \
  -draw "polygon 4,6 16,16 4,26" -draw "polygon 15,6 27,16 15,26"
tool 172 173 171 284 65 'Stop' -fill 'rgb(208,64,56)' -stroke 'rgb(140,36,30)' \
  -draw "roundrectangle 6,6 25,25 3,3"
tool 175 176 174 349 66 'DVD' -fill 'rgb(200,210,226)' -stroke "$DEEP" \
  -draw "circle 16,16 16,2" -fill 'rgb(236,240,250)' -draw "circle 16,16 16,10" \
  -fill none -draw "circle 16,16 16,14"
tool 177 178 179 415 66 'Website' -fill 'rgb(120,176,230)' -stroke "$DEEP" \
  -draw "circle 16,16 16,3" -fill none -draw "ellipse 16,16 6,13 0,360" \
  -draw "line 3,16 29,16" -draw "line 6,9 26,9" -draw "line 6,23 26,23"

# ---- player buttons -----------------------------------------------------------
# player ID_NORMAL ID_HOT X W DRAW...
player() {
  local n=$1 hot=$2 x=$3 w=$4 state id
  shift 4
  for state in normal hot; do
    case $state in normal) id=$n ;; hot) id=$hot ;; esac
    crop "$x" 191 "$w" 29 /tmp/orv_face.png
    plate /tmp/orv_face.png /tmp/orv_plate.png "$state"
    convert /tmp/orv_plate.png \( -size 20x20 xc:none -fill "$DEEP" -stroke none "$@" \) \
      -geometry +$(((w - 20) / 2))+4 -composite "PNG32:$id.png"
  done
}
player 181 180 527 33 -draw "polygon 5,3 17,10 5,17"
player 183 182 560 36 -draw "rectangle 5,5 15,15"
player 185 184 596 37 -draw "rectangle 3,4 5,16" -draw "polygon 17,4 7,10 17,16"
player 187 186 633 37 -draw "rectangle 15,4 17,16" -draw "polygon 3,4 13,10 3,16"
# The pause faces of the two-state Play button.
crop 527 191 33 29 /tmp/orv_face.png
for state in normal pressed; do
  id=228; [[ $state == pressed ]] && id=229
  plate /tmp/orv_face.png /tmp/orv_plate.png "$state"
  convert /tmp/orv_plate.png -fill "$DEEP" -draw "rectangle 11,8 14,21" \
    -draw "rectangle 19,8 22,21" "PNG32:$id.png"
done

# ---- text buttons ---------------------------------------------------------------
# text_button ID_NORMAL ID_HOT X Y W H WORD
text_button() {
  local n=$1 hot=$2 x=$3 y=$4 w=$5 h=$6 word=$7 top bottom id
  for id in "$n" "$hot"; do
    top='rgb(252,253,255)'; bottom='rgb(200,216,240)'
    [[ $id == "$hot" ]] && { top='rgb(255,255,255)'; bottom='rgb(222,234,252)'; }
    crop "$x" "$y" "$w" "$h" /tmp/orv_face.png
    convert /tmp/orv_face.png \
      \( -size $((w - 4))x$((h - 4)) gradient:"$top-$bottom" \) -geometry +2+2 -composite \
      -fill none -stroke "$EDGE" -draw "roundrectangle 1,1 $((w - 2)),$((h - 2)) 4,4" \
      -stroke none -fill "$INK" -font "$FONT" -pointsize 11 -gravity center \
      -annotate +0+0 "$word" "PNG32:$id.png"
  done
}
text_button 189 188 426 445 75 25 'Save As...'
text_button 191 190 426 470 75 26 'Browse...'
text_button 193 1017 435 506 76 24 'Cancel'

# ---- caption buttons ------------------------------------------------------------
for state in normal hot; do
  id=195; fill='rgb(60,80,120)'; plate_fill=none
  [[ $state == hot ]] && { id=194; fill=white; plate_fill='rgb(214,72,62)'; }
  crop 696 2 17 16 /tmp/orv_face.png
  convert /tmp/orv_face.png -fill "$plate_fill" -stroke none -draw "roundrectangle 0,0 16,15 3,3" \
    -stroke "$fill" -strokewidth 2 -draw "line 5,4 11,11" -draw "line 11,4 5,11" "PNG32:$id.png"
  id=197; [[ $state == hot ]] && id=196
  plate_fill=none; [[ $state == hot ]] && plate_fill="$HOT"
  crop 656 3 19 15 /tmp/orv_face.png
  convert /tmp/orv_face.png -fill "$plate_fill" -stroke none -draw "roundrectangle 0,0 18,14 3,3" \
    -fill 'rgb(60,80,120)' -draw "rectangle 5,9 13,10" "PNG32:$id.png"
done

# ---- position slider: channel 131, active channel 132, thumbs 133 and 130 ---------
convert -size 169x11 "xc:$BASE" -fill 'rgb(250,252,255)' -stroke "$EDGE" \
  -draw "roundrectangle 0,3 168,8 2,2" PNG32:131.png
convert -size 169x11 "xc:$BASE" -fill 'rgb(72,124,200)' -stroke "$DEEP" \
  -draw "roundrectangle 0,3 168,8 2,2" PNG32:132.png
# Pixel (0, 0) is the key colour. Drawn without anti-aliasing: a corner pixel
# blended with the key colour would stay as a magenta fringe once keyed out.
convert -size 9x10 xc:'rgb(255,0,255)' +antialias -fill 'rgb(250,252,255)' -stroke "$DEEP" \
  -draw "roundrectangle 0,0 8,9 3,3" -stroke none -fill 'rgb(255,0,255)' -draw "point 0,0" \
  PNG24:133.png
convert -size 9x10 xc:'rgb(255,0,255)' +antialias -fill 'rgb(120,168,236)' -stroke "$DEEP" \
  -draw "roundrectangle 0,0 8,9 3,3" -stroke none -fill 'rgb(255,0,255)' -draw "point 0,0" \
  PNG24:130.png

# ---- window icon 128 --------------------------------------------------------------
convert -size 32x32 xc:none -fill "$DEEP" -stroke none -draw "roundrectangle 1,1 30,30 6,6" \
  -fill white -draw "polygon 11,8 24,16 11,24" PNG32:128.png

# ---- menu icons -------------------------------------------------------------------
icon() {
  local name=$1
  shift
  convert -size 16x16 xc:none -strokewidth 1 "$@" "PNG32:icon_$name.png"
}
icon add -fill 'rgb(46,150,70)' -draw "rectangle 6,2 9,13" -draw "rectangle 2,6 13,9"
icon remove -fill 'rgb(208,64,56)' -draw "rectangle 2,6 13,9"
icon clear -stroke 'rgb(208,64,56)' -strokewidth 2 -draw "line 3,3 12,12" -draw "line 12,3 3,12"
icon play -fill "$DEEP" -draw "polygon 4,2 13,8 4,14"
icon stop -fill 'rgb(208,64,56)' -draw "rectangle 3,3 12,12"
icon convert -fill "$DEEP" -draw "polygon 1,3 8,8 1,13" -draw "polygon 8,3 15,8 8,13"
icon dvd -fill 'rgb(200,210,226)' -stroke "$DEEP" -draw "circle 8,8 8,1" -fill white -draw "circle 8,8 8,6"
icon rename -fill white -stroke "$DEEP" -draw "rectangle 1,4 14,11" -draw "line 4,6 4,9"
icon info -fill "$DEEP" -draw "circle 8,8 8,1" -fill white -draw "rectangle 7,7 8,12" -draw "rectangle 7,4 8,5"
icon new -fill white -stroke "$DEEP" -draw "polygon 3,1 10,1 13,4 13,14 3,14"
icon open -fill 'rgb(240,200,90)' -stroke 'rgb(150,110,30)' -draw "polygon 1,4 6,4 7,6 14,6 14,13 1,13"
icon save -fill "$DEEP" -draw "rectangle 2,2 13,13" -fill white -draw "rectangle 4,3 11,7"
icon exit -stroke 'rgb(60,80,120)' -strokewidth 2 -draw "line 4,4 11,11" -draw "line 11,4 4,11"
icon folder -fill 'rgb(240,200,90)' -stroke 'rgb(150,110,30)' -draw "polygon 1,3 6,3 7,5 14,5 14,13 1,13"
icon overwrite -fill white -stroke "$DEEP" -draw "rectangle 2,1 11,12" -fill 'rgb(208,64,56)' -stroke none -draw "polygon 8,8 15,8 11,14"
icon help -fill "$DEEP" -draw "circle 8,8 8,1" -fill white -font "$BOLD" -pointsize 11 -gravity center -annotate +0+0 '?'
icon web -fill 'rgb(120,176,230)' -stroke "$DEEP" -draw "circle 8,8 8,1" -fill none -draw "line 1,8 15,8" -draw "ellipse 8,8 3,7 0,360"
icon mail -fill white -stroke "$DEEP" -draw "rectangle 1,3 14,12" -draw "line 1,3 8,8" -draw "line 14,3 8,8"
# The profile combo box's drop-down arrow.
convert -size 9x5 xc:none -fill "$DEEP" -draw "polygon 0,0 8,0 4,4" PNG32:icon_down.png

# ---- the desktop icon: window icon 128 drawn again at each hicolor size ----------
# The same rounded plate and play triangle as 128.png, on a 32-unit grid scaled
# to the size, so that no size is a blurred enlargement.
for size in 16 24 32 48 64 128 256; do
  s() { echo "$1 * $size / 32" | bc -l | xargs printf '%.2f'; }
  mkdir -p "icons/${size}x${size}"
  convert -size "${size}x${size}" xc:none -fill "$DEEP" -stroke none \
    -draw "roundrectangle $(s 1),$(s 1) $(s 30),$(s 30) $(s 6),$(s 6)" \
    -fill white -draw "polygon $(s 11),$(s 8) $(s 24),$(s 16) $(s 11),$(s 24)" \
    -strip -define png:exclude-chunk=date,time,tIME "PNG32:icons/${size}x${size}/orvantic.png"
done

rm -f /tmp/orv_face.png /tmp/orv_plate.png
# No time stamps, so an unchanged face gives an unchanged file.
for f in [0-9]*.png icon_*.png; do
  convert "$f" -strip -define png:exclude-chunk=date,time,tIME "$f"
done
convert 129.png -strip -define png:exclude-chunk=date,time,tIME PNG8:129.png
