#!/usr/bin/env bash
# Makes the photos and videos the Windows media tests read, on this machine, with the commands
# media_files.cpp runs for the Linux tests (ImageMagick's convert, exiv2, heif-enc, ffmpeg,
# exiftool): the Windows tests cannot start Linux tools under Wine. Into the folder $1, anew.
set -euo pipefail
out=$1
rm -rf "$out" && mkdir -p "$out" && cd "$out"

jpeg() { convert -size 64x48 xc:skyblue "$1"; }
tag() { exiv2 -M"set $2 Ascii \"$3\"" "$1"; }
# A movie whose creation_time is $2 ("" for none); further arguments go to ffmpeg's output.
movie() {
  local out=$1 metadata=()
  [ -z "$2" ] || metadata=(-metadata "creation_time=$2")
  shift 2
  ffmpeg -nostdin -loglevel error -f lavfi -i color=c=blue:s=64x48:d=1 -c:v libx264 \
    "${metadata[@]}" "$@" -y "$out"
}
# The movie header's creation time (a version 0 "mvhd" box) set to $2 seconds since 1904.
header_time() {
  local at
  at=$(grep -obUa mvhd "$1" | head -n 1 | cut -d: -f1)
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($2 >> 24 & 255)) $(($2 >> 16 & 255)) \
    $(($2 >> 8 & 255)) $(($2 & 255)))" | dd of="$1" bs=1 seek=$((at + 8)) conv=notrunc status=none
}

original=Exif.Photo.DateTimeOriginal digitized=Exif.Photo.DateTimeDigitized
modified=Exif.Image.DateTime

jpeg all-tags.jpg
tag all-tags.jpg $original "2016:08:30 12:48:42"
tag all-tags.jpg $digitized "2016:08:30 12:50:00"
tag all-tags.jpg $modified "2020:01:01 00:00:00"
jpeg digitized.jpg
tag digitized.jpg $digitized "2016:08:30 12:50:00"
tag digitized.jpg $modified "2020:01:01 00:00:00"
jpeg modified-only.jpg
tag modified-only.jpg $modified "2020:01:01 00:00:00"
jpeg untagged.jpg
convert -size 64x48 xc:skyblue tiff:tagged.tif
tag tagged.tif $original "2016:08:30 12:48:42"
i=0
for bad in "0000:00:00 00:00:00" "                   " "2013:05:26 16:05:92" "2016:13:01 00:00:00"; do
  i=$((i + 1))
  jpeg "bad-$i.jpg"
  tag "bad-$i.jpg" $original "$bad"
  jpeg "bad-$i-digitized.jpg"
  tag "bad-$i-digitized.jpg" $original "$bad"
  tag "bad-$i-digitized.jpg" $digitized "2016:08:30 12:50:00"
done
heif-enc -q 50 all-tags.jpg -o photo.heic > /dev/null
# Shots of a burst: the sub-second times that go with each time tag, as exiftool writes them, and
# as exiv2 writes any text at all.
shot="2016:08:30 12:48:42"
jpeg subsec-original.jpg
tag subsec-original.jpg $original "$shot"
tag subsec-original.jpg $digitized "$shot"
exiftool -q -overwrite_original -SubSecTimeOriginal=123 -SubSecTimeDigitized=9 subsec-original.jpg
jpeg subsec-digitized.jpg
tag subsec-digitized.jpg $original "$shot"
tag subsec-digitized.jpg $digitized "$shot"
exiftool -q -overwrite_original -SubSecTimeDigitized=25 subsec-digitized.jpg
for kind in padded junk; do
  jpeg "subsec-$kind.jpg"
  tag "subsec-$kind.jpg" $original "$shot"
done
tag subsec-padded.jpg Exif.Photo.SubSecTimeOriginal "  42 "
tag subsec-junk.jpg Exif.Photo.SubSecTimeOriginal "1.5"
heif-enc -q 50 subsec-original.jpg -o subsec.heic > /dev/null
movie summer.mp4 2016-08-30T16:48:42Z
movie winter.mov 2016-01-15T17:00:00Z
movie IMG_0001.MOV 2016-08-30T16:48:42Z
exiftool -q -overwrite_original "-Keys:CreationDate=2016:08:31 09:10:11+09:00" IMG_0001.MOV
movie unset.mp4 ""
# The header holds whole seconds; the time kept as text among the metadata keys keeps its fraction.
movie fraction.mp4 2016-08-30T16:48:42.123456Z -movflags use_metadata_tags
unix_epoch=2082844800
for seconds in 0 $unix_epoch $((unix_epoch + 1)) $((unix_epoch + 1472575722)); do
  cp unset.mp4 "header-$seconds.mp4"
  header_time "header-$seconds.mp4" "$seconds"
done
head -c 40 all-tags.jpg > cut.jpg
head -c 2000 summer.mp4 > cut.mp4
printf '2016:08:30 12:48:42' > notes.txt
: > empty.jpg
# For the pool's faulty helper, which misbehaves on these names.
for name in crash-me crash-me-too hang-me; do cp all-tags.jpg "$name.jpg"; done
