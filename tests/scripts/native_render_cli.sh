#!/usr/bin/env bash
# The native vorzle-render as a command-line user meets it: levels (--gain,
# --normalize, the warning above full scale), programs by name and the warning
# about the song's program changes, --channels, .rmi and damaged files, -o -
# into a pipe, devices, FIFOs and closed pipes, refused output names, a plug-in
# named without a folder, --version.
set -uo pipefail
source "$(dirname "$0")/render_script_setup.sh"
# run ARGS...: runs the renderer, stdout to out.txt, stderr to err.txt; sets $status.
run() { "$exe" "$@" >out.txt 2>err.txt; status=$?; }
lines() { grep -c . "$1"; }
field() { sed -n "s/.*$1 \(-\?[0-9.inf]*\) dBFS.*/\1/p" out.txt; }

cat > songs.py <<'EOF2'
import struct, sys
sys.path.insert(0, sys.argv[1])
import smf
song = smf.Song()
t = song.track("melody")
t.program(0, 1)
t.note(0, 1, 57, 100)
t.program(1, 0)
t.note(1, 1, 60, 100)
drums = song.track("drums")
for beat in range(4):
    drums.note(beat * 0.5, 0.25, 36, 120, channel=9)
song.write("song.mid")
data = open("song.mid", "rb").read()
body = b"RMID" + b"data" + struct.pack("<I", len(data)) + data
open("song.rmi", "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
open("cut.mid", "wb").write(data[:-30])
EOF2
"$python3" songs.py "$root/examples"
"$python3" "$root/examples/smf.py" note.mid --note 57 --beats 2

# Levels: the summary's peak moves by the gain; --normalize lands on its target.
run note.mid -o plain.wav --tail 0.5
plain=$(field peak)
run note.mid -o quieter.wav --tail 0.5 --gain -6
quieter=$(field peak)
"$python3" -c "import sys; d = float(sys.argv[1]) - float(sys.argv[2]); sys.exit(abs(d - 6.0) > 0.11)" "$plain" "$quieter" &&
  ok "--gain -6: peak $plain -> $quieter dBFS" || fail "--gain -6: peak $plain -> $quieter dBFS"
for target in "" -3; do
  run note.mid -o norm.wav --tail 0.5 --format s16 --normalize $target
  want=${target:--1}
  grep -q "peak $want.0 dBFS, .*, 0 clipped samples, normalized by +" out.txt && [ ! -s err.txt ] &&
    ok "--normalize $target: $(cut -c1-90 out.txt)" || fail "--normalize $target: $(cat out.txt err.txt)"
done
ls ./*.spool >/dev/null 2>&1 && fail "a spool file was left behind"
# Above full scale: one warning line that names the peak and suggests --normalize; 16-bit clips and counts.
run note.mid -o loud.wav --tail 0.5 --format s16 --gain 30
if [ "$(lines err.txt)" -eq 1 ] && grep -q "warning: loud.wav peaks at +[0-9.]* dBFS, above full scale ([0-9]* samples clipped in the 16-bit file); --normalize fits it below" err.txt &&
   ! grep -q " 0 clipped samples" out.txt; then ok "$(cat err.txt)"; else fail "loud render: $(cat out.txt err.txt)"; fi

# Programs: by name (any case, a unique start) as by number; the song's own program changes are warned about.
# The names come from --info, so the test follows the factory bank.
"$exe" --info | awk '/^programs:/ { listing = 1; next } /^[a-z]/ { listing = 0 } listing' > info.txt
name2=$(sed -n 's/^  2  //p' info.txt | tr '[:upper:]' '[:lower:]')
shared=$(sed -n 's/^  [0-9]*  \([A-Za-z]*\) .*/\1/p' info.txt | sort | uniq -d | head -1)
run note.mid -o by-number.wav --tail 0.2 --program 2 --quiet
run note.mid -o by-name.wav --tail 0.2 --program "$name2" --quiet
cmp -s by-number.wav by-name.wav && ok "--program '$name2' is program 2" || fail "--program by name differs: $(cat err.txt)"
run note.mid -o x.wav --program "$shared"
[ "$status" -ne 0 ] && grep -q "^vorzle-render: --program: '$shared' fits [0-9]* programs: [0-9]* '$shared.*; give more of the name, or the number$" err.txt &&
  [ ! -e x.wav ] && ok "$(cat err.txt)" || fail "ambiguous program name '$shared': status $status, $(cat err.txt)"
run song.mid -o pc.wav --program 2
[ "$status" -eq 0 ] && [ "$(lines err.txt)" -eq 1 ] &&
  grep -q "warning: song.mid has 2 program changes, which switch programs after --program selects 2; --ignore-program-changes skips them" err.txt &&
  ok "$(cat err.txt)" || fail "program change warning: $(cat err.txt)"
run song.mid -o pc.wav --program 2 --ignore-program-changes
[ ! -s err.txt ] && grep -q ", 2 program changes ignored, " out.txt && ok "--ignore-program-changes" ||
  fail "--ignore-program-changes: $(cat out.txt err.txt)"

# Channels: the drum channel left out is counted.
run song.mid -o nodrums.wav --channels 1-9,11-16
grep -q ", 8 events on channels left out skipped, " out.txt && ok "--channels 1-9,11-16" || fail "--channels: $(cat out.txt err.txt)"

# A RIFF MIDI file plays as the file inside it; a cut one plays in part with one warning, or is refused with --strict.
run song.mid -o mid.wav --quiet
run song.rmi -o rmi.wav --quiet
cmp -s mid.wav rmi.wav && ok ".rmi renders as the .mid inside" || fail ".rmi: $(cat err.txt)"
run cut.mid -o cut.wav
[ "$status" -eq 0 ] && [ "$(lines err.txt)" -eq 1 ] && grep -q "warning: cut.mid: damaged, played as far as it is readable: .*(at byte [0-9]*.*; --strict refuses such files" err.txt &&
  ok "$(cat err.txt)" || fail "damaged file: status $status, $(cat err.txt)"
run cut.mid -o strict.wav --strict
[ "$status" -eq 1 ] && [ "$(lines err.txt)" -eq 1 ] && grep -q "^vorzle-render: cut.mid: truncated chunk" err.txt && [ ! -e strict.wav ] &&
  ok "--strict: $(cat err.txt)" || fail "--strict: status $status, $(cat err.txt)"

# -o -: the same samples through a pipe (largest sizes in the header) or a file (true sizes).
run song.mid -o file.wav --quiet
"$exe" song.mid -o - 2>err.txt | cat > piped.wav
"$exe" song.mid -o - --quiet > redirected.wav 2>/dev/null
"$python3" - <<'EOF2' && ok "-o - through a pipe and into a file" || fail "-o -"
import struct
from float_wav import read_float_wav
file, piped, redirected = (open(n, "rb").read() for n in ("file.wav", "piped.wav", "redirected.wav"))
assert redirected == file, "redirected output differs from the file render"
assert piped[58:] == file[58:], "piped samples differ"
assert struct.unpack("<I", piped[54:58])[0] == 0xFFFFFFFF, "piped data size is not the largest"
assert read_float_wav("piped.wav")[1] == read_float_wav("file.wav")[1]
EOF2
grep -q "^vorzle-render: stdout: .* real time" err.txt && ok "-o -: summary on stderr" || fail "-o -: summary: $(cat err.txt)"

# Outputs that are not regular files, a closed pipe, a full device and the
# messages about them. One case a line: the renderer's exit status, the one
# line it must print on stderr (a grep pattern; none when empty), the command.
# r runs the renderer wherever it sits in a pipeline.
r() { "$exe" "$@" 2>>err.txt; echo $? > status.txt; }
export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR"
mkfifo fifo
"$python3" -c "
import struct
for name, notes in (('most.mid', 1 << 23), ('many.mid', (1 << 23) + 1)):
    body = b'\x00\x90\x3c\x40' + b'\x00\x3c\x40' * (notes - 1) + b'\x00\xff\x2f\x00'
    open(name, 'wb').write(b'MThd' + struct.pack('>IHHH', 6, 0, 1, 96) + b'MTrk' + struct.pack('>I', len(body)) + body)"
demo="$root/examples/demo.mid"
sanitized=$(grep -c "^VORZLE_SANITIZE:.*=." "$build/CMakeCache.txt")
while IFS='|' read -r want line cmd; do
  [ -z "$cmd" ] && continue
  [[ "$cmd" == *ulimit* ]] && [ "$sanitized" -ne 0 ] && continue   # a sanitizer's runtime reserves memory of its own
  : > err.txt
  eval "$cmd"
  got=$(cat status.txt)
  if [ -z "$line" ]; then said=$([ ! -s err.txt ] && echo yes)
  else said=$([ "$(lines err.txt)" -eq 1 ] && grep -qx -- "$line" err.txt && echo yes); fi
  if [ "$got" = "$want" ] && [ "$said" = yes ]; then
    ok "$cmd: ${line:-silent}"
  else
    fail "$cmd: status $got (wanted $want), stderr: $(cat err.txt)"
  fi
done <<'CASES'
0||r song.mid -o /dev/null --quiet
0||{ cat fifo > from-fifo.wav & r song.mid -o fifo --quiet; wait; }
0||r song.mid -o /dev/stdout --quiet | cat > dev-stdout.wav
1|vorzle-render: output closed|r "$demo" -o - | head -c 100 > /dev/null
1|vorzle-render: output closed|r "$demo" -o - --normalize | head -c 100 > /dev/null
1|vorzle-render: /dev/full: cannot write: No space left on device|r note.mid -o /dev/full
1|vorzle-render: --normalize: needs a writable temporary folder for its spool (.*); point TMPDIR at one|TMPDIR="$work/none" r note.mid -o - --normalize | cat > /dev/null
2|vorzle-render: --normalize: -1e400 is out of range (-100 to 0)|r note.mid -o x.wav --normalize -1e400
1|vorzle-render: many.mid: too many events (8388609; vorzle-render plays at most 8388608)|r many.mid -o x.wav
4|vorzle-render: out of memory (see MEMORY in the manual page)|(ulimit -v 200000; r most.mid -o x.wav)
1|vorzle-render: big.wav: cannot write the temporary file big.wav.partial: File too large|(ulimit -f 8; r "$demo" -o big.wav)
138||{ (exec "$exe" note.mid -o usr1.wav --tail 600 2>>err.txt) & sleep 0.5; kill -USR1 $!; wait $!; echo $? > status.txt; }
0||cat note.mid | r /dev/stdin -o from-stdin.wav --quiet
1|vorzle-render: protected.wav: is write-protected; --force replaces it|{ : > protected.wav; chmod 444 protected.wav; r note.mid -o protected.wav; }
0||{ r note.mid -o protected.wav --force --quiet; [ "$(stat -c %a protected.wav)" = 444 ] || echo 9 > status.txt; }
0||{ : > linked.wav; ln -sf linked.wav link.wav; r note.mid -o link.wav --quiet; [ -L link.wav ] && [ -s linked.wav ] || echo 9 > status.txt; }
1|vorzle-render: dangling.wav: is a symbolic link to nothing (nowhere.wav); write to its target or remove the link|{ ln -sf nowhere.wav dangling.wav; r note.mid -o dangling.wav; }
CASES
[ -c /dev/null ] && cmp -s from-fifo.wav piped.wav && cmp -s dev-stdout.wav piped.wav &&
  ok "/dev/null stays a device; a FIFO and /dev/stdout receive what -o - gives" || fail "FIFO or /dev/stdout output differs"
leftovers=$(find "$work" -name "*.partial" -o -name "*.spool")
[ -z "$leftovers" ] && ok "no temporary file left behind" || fail "left behind: $leftovers"

# Output names: WAV only, and never an input.
run song.mid -o song.mp3
[ "$status" -eq 2 ] && grep -q "^vorzle-render: song.mp3: vorzle-render writes WAV only; to get mp3, convert on the way: vorzle-render song.mid -o - | ffmpeg -i - song.mp3$" err.txt &&
  ok "$(cat err.txt)" || fail ".mp3 output: $(cat err.txt)"
cp "$build/bin/Vorzle.so" plugin.wav
run song.mid -o plugin.wav --plugin plugin.wav
[ "$status" -eq 1 ] && grep -q "plugin.wav: is the plug-in itself; choose another output name" err.txt && cmp -s plugin.wav "$build/bin/Vorzle.so" &&
  ok "$(cat err.txt)" || fail "output naming the plug-in: $(cat err.txt)"

# A Windows DLL is refused before the loader tries it, with the renderer to use instead.
"$python3" -c "
import struct
head = bytearray(0x200)
head[0:2] = b'MZ'; head[0x3C:0x40] = struct.pack('<I', 0x80)
head[0x80:0x86] = b'PE\\0\\0' + struct.pack('<H', 0x14C); head[0x98:0x9A] = struct.pack('<H', 0x10B)
open('Windows.dll', 'wb').write(head)"
run note.mid -o dll.wav --plugin Windows.dll
grep -qx "vorzle-render: Windows.dll: is a 32-bit Windows DLL (x86), but this vorzle-render loads only 64-bit Linux shared object (x86-64) plug-ins; play it with the Windows vorzle-render.exe (under Wine on Linux)" err.txt &&
  ok "$(cat err.txt)" || fail "a DLL given to the Linux renderer: $(cat err.txt)"

# A plug-in named without a folder is the one in the current folder.
cp "$build/bin/Vorzle.so" Mine.so
run note.mid -o bare.wav --plugin Mine.so --quiet
[ "$status" -eq 0 ] && [ -s bare.wav ] && ok "--plugin Mine.so" || fail "--plugin Mine.so: $(cat err.txt)"

run --version
[ "$status" -eq 0 ] && grep -qx "vorzle-render [0-9]*\.[0-9]*\.[0-9]*" out.txt && ok "$(cat out.txt)" || fail "--version: $(cat out.txt)"

# The manual page describes every option --help lists.
missing=""
sed 's/\\-/-/g' "$root/docs/vorzle-render.1" > manual.txt
for option in $("$exe" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -q -- "$option" manual.txt || missing+=" $option"
done
[ -z "$missing" ] && ok "docs/vorzle-render.1 covers every option of --help" || fail "the manual page lacks$missing"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all command-line cases behave"
