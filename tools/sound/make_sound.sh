#!/usr/bin/env bash
# Makes the speaker-test sound: a short rising chime (C5 E5 G5 C6, each note a sine with its
# octave, fading out like a bell), mono 44.1 kHz, as MP3 at 96 kbit/s.
# Needs sox and lame (scripts/install-deps.sh installs both).
#   tools/sound/make_sound.sh [OUT.mp3]    (default src/res/sound/praise.mp3)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$here/src/res/sound/praise.mp3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

notes=(523.25 659.25 783.99 1046.50)
parts=()
i=0
for f in "${notes[@]}"; do
  # Each note starts 0.16 s after the one before and rings for 0.9 s.
  delay=$(awk -v i="$i" 'BEGIN { printf "%.2f", i * 0.16 }')
  octave=$(awk -v f="$f" 'BEGIN { printf "%.2f", f * 2 }')
  sox -n -r 44100 -c 1 -b 16 "$work/n$i.wav" \
    synth 0.9 sine "$f" synth 0.9 sine mix "$octave" \
    fade q 0.005 0.9 0.85 vol 0.35 pad "$delay" 0
  parts+=("$work/n$i.wav")
  i=$((i + 1))
done
sox -m "${parts[@]}" "$work/chime.wav" gain -n -3 fade q 0 0 0.05
mkdir -p "$(dirname "$out")"
lame --quiet -m m -b 96 --noreplaygain --tt "Brimvale speaker test" "$work/chime.wav" "$out"
echo "$out"
