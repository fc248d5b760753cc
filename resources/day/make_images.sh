#!/bin/sh
# Draws the pictures of the day windows with ImageMagick (convert). Run from this folder; the
# PNG files it writes are committed, so the build does not need ImageMagick.
set -e

# Today button: a small house with a dark red roof.
convert -size 32x32 xc:none \
  -fill '#f4ead2' -stroke '#404040' -strokewidth 1 -draw 'rectangle 7,15 25,28' \
  -fill '#8b1010' -stroke '#4a0000' -draw 'polygon 3,16 16,4 29,16' \
  -fill '#8b1010' -stroke '#4a0000' -draw 'rectangle 21,5 24,11' \
  -fill '#7a4a1c' -stroke '#404040' -draw 'rectangle 13,20 18,28' \
  -fill '#9fd0ff' -stroke '#404040' -draw 'rectangle 20,18 23,21' \
  -fill '#9fd0ff' -stroke '#404040' -draw 'rectangle 9,18 11,21' \
  -fill '#2e8b2e' -stroke none -draw 'rectangle 1,29 31,31' \
  PNG32:today.png

# Write button: an open notebook, a pen over it and a yellow arrow pointing left.
convert -size 32x32 xc:none \
  -fill '#ffffff' -stroke '#404040' -strokewidth 1 \
  -draw 'polygon 2,14 15,16 15,30 2,28' -draw 'polygon 17,16 30,14 30,28 17,30' \
  -stroke '#7f9fcf' -draw 'line 4,19 13,20' -draw 'line 4,22 13,23' -draw 'line 4,25 13,26' \
  -draw 'line 19,20 28,19' -draw 'line 19,23 28,22' -draw 'line 19,26 28,25' \
  -stroke '#404040' -draw 'line 16,16 16,30' \
  -fill '#1f4fb0' -stroke '#102040' -draw 'polygon 17,11 28,1 31,4 20,14' \
  -fill '#e8c890' -stroke '#102040' -draw 'polygon 17,11 20,14 15,16' \
  -fill '#ffd800' -stroke '#806000' -draw 'polygon 1,6 7,1 7,4 13,4 13,8 7,8 7,11' \
  PNG32:write.png

# Discard button: a sheet of paper torn in two, the halves drawn apart.
convert -size 32x32 xc:none \
  -fill '#ffffff' -stroke '#404040' -strokewidth 1 \
  -draw 'polygon 3,5 15,3 13,8 16,12 12,17 15,22 12,27 5,29' \
  -draw 'polygon 18,3 28,5 29,29 17,28 20,23 17,18 21,13 17,8' \
  -stroke '#a0a0a0' -draw 'line 5,10 12,9' -draw 'line 5,14 12,14' -draw 'line 6,19 11,19' -draw 'line 6,24 10,24' \
  -draw 'line 21,9 26,9' -draw 'line 23,14 27,14' -draw 'line 21,19 27,19' -draw 'line 21,24 27,24' \
  PNG32:discard.png

# End button: a red cross.
convert -size 32x32 xc:none \
  -stroke '#700000' -strokewidth 8 -draw 'line 6,6 26,26' -draw 'line 26,6 6,26' \
  -stroke '#e01010' -strokewidth 5 -draw 'line 6,6 26,26' -draw 'line 26,6 6,26' \
  PNG32:end.png

# Window icon of the entry window: a calendar page with a pen.
convert -size 32x32 xc:none \
  -fill '#ffffff' -stroke '#404040' -strokewidth 1 -draw 'rectangle 3,5 25,29' \
  -fill '#c02020' -stroke '#404040' -draw 'rectangle 3,5 25,11' \
  -stroke '#909090' -draw 'line 6,16 22,16' -draw 'line 6,20 22,20' -draw 'line 6,24 18,24' \
  -fill '#1f4fb0' -stroke '#102040' -draw 'polygon 17,23 28,12 31,15 20,26' \
  -fill '#e8c890' -stroke '#102040' -draw 'polygon 17,23 20,26 15,28' \
  PNG32:entry.png

# Background of the day display: a soft lavender field with a white glow in the middle and a
# bevelled grey frame along the edges (192 x 152 inside a 4 pixel frame).
convert -size 192x152 radial-gradient:'#ffffff-#d0c4f0' -sigmoidal-contrast 3,35% \
  -mattecolor '#b4b4b4' -frame 4x4+2+2 \
  -quality 85 -strip output.jpg
