#!/usr/bin/env bash
# vorzle-render.exe under Wine refuses bad input with one line
# "vorzle-render: <file>: <problem>", a non-zero status and no output file;
# a plug-in that crashes, Ctrl-C and a kill leave neither a partial WAV nor a
# changed old one, a user's own OUT.wav.partial is left alone, and a closed
# output pipe is "output closed".
# Small test plug-ins are compiled here from the source below.
set -uo pipefail
root=$1
build=$2
exe="$build/bin/vorzle-render.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The tree's own C compiler, so that the test plug-ins match its architecture.
cc=$(sed -n 's/^set(CMAKE_C_COMPILER "\(.*\)")$/\1/p' "$build"/CMakeFiles/*/CMakeCCompiler.cmake | head -n 1)
[ -x "$cc" ] || { echo "FAIL: no C compiler recorded in $build/CMakeFiles"; exit 1; }

cat > test_plugin.c <<'EOF'
/* MODE 1 crashes in processReplacing, 2 returns null from its entry point,
   3 is no synth, 4 has no outputs, 5 exports no entry point. */
#include <stdint.h>
#include <string.h>
typedef struct Effect Effect;
struct Effect {
    int32_t magic;
    intptr_t (*dispatcher)(Effect*, int32_t, int32_t, intptr_t, void*, float);
    void (*process)(Effect*, float**, float**, int32_t);
    void (*setParameter)(Effect*, int32_t, float);
    float (*getParameter)(Effect*, int32_t);
    int32_t numPrograms, numParams, numInputs, numOutputs, flags;
    intptr_t resvd1, resvd2;
    int32_t initialDelay, realQualities, offQualities;
    float ioRatio;
    void *object, *user;
    int32_t uniqueID, version;
    void (*processReplacing)(Effect*, float**, float**, int32_t);
    char future[60];
};
static Effect effect;
static intptr_t dispatcher(Effect* e, int32_t op, int32_t i, intptr_t v, void* p, float f) {
    (void)e; (void)op; (void)i; (void)v; (void)p; (void)f;
    return 0;
}
static void crash(Effect* e, float** in, float** out, int32_t n) {
    (void)e; (void)in; (void)out; (void)n;
    *(volatile int*)(intptr_t)16 = 1;
}
static Effect* create(void) {
    memset(&effect, 0, sizeof effect);
    effect.magic = ('V' << 24) | ('s' << 16) | ('t' << 8) | 'P';
    effect.dispatcher = dispatcher;
    effect.process = crash;
    effect.processReplacing = crash;
    effect.numOutputs = MODE == 4 ? 0 : 2;
    effect.flags = (MODE == 3 ? 0 : 256) | 16;   /* effFlagsIsSynth, effFlagsCanReplacing */
    return MODE == 2 ? 0 : &effect;
}
#if MODE == 5
__declspec(dllexport) Effect* somethingElse(void* host) { (void)host; return create(); }
#else
__declspec(dllexport) Effect* VSTPluginMain(void* host) { (void)host; return create(); }
#endif
EOF
for mode in 1 2 3 4 5; do
  "$cc" -O1 -Werror=pointer-to-int-cast -Werror=int-to-pointer-cast -shared -static-libgcc -DMODE=$mode -o mode$mode.dll test_plugin.c || { echo "FAIL: cannot build test plug-in $mode"; exit 1; }
done

python3=/usr/bin/python3
"$python3" "$root/examples/smf.py" song.mid --note 69 --beats 2
printf 'just some text\n' > text.mid
head -c 40 song.mid > truncated.mid
mkdir folder.mid
cp song.mid song-as.wav
head -c 1024 mode2.dll > broken.dll   # PE headers without their sections: the loader names the file (no "%1")

failures=0
# expect_error "<expected text>" args...: fails unless the run exits non-zero, prints
# exactly one line holding the text on stderr, nothing on stdout, and leaves no out.wav*.
expect_error() {
  local expected=$1; shift
  rm -f out.wav out.wav.partial
  wine "$exe" "$@" >stdout.txt 2>stderr.txt </dev/null
  local status=$?
  local message
  message=$(tr -d '\r' < stderr.txt)
  local problems=""
  [ "$status" -ne 0 ] || problems+=" exit status 0;"
  [ "$(printf '%s\n' "$message" | grep -c .)" -eq 1 ] || problems+=" not exactly one line on stderr;"
  case "$message" in *"$expected"*) ;; *) problems+=" message lacks '$expected';" ;; esac
  [ ! -s stdout.txt ] || problems+=" output on stdout;"
  ls out.wav* nowhere >/dev/null 2>&1 && problems+=" an output file was left;"
  if [ -n "$problems" ]; then
    echo "FAIL: $*:$problems"; echo "  status $status, stderr: $message"; failures=$((failures + 1))
  else
    echo "ok   [$status] $message"
  fi
}

# Files.
expect_error "vorzle-render: missing.mid: no such file" missing.mid -o out.wav
expect_error "vorzle-render: folder.mid: is a directory" folder.mid -o out.wav
expect_error "vorzle-render: text.mid: not a MIDI file" text.mid -o out.wav
expect_error "vorzle-render: truncated.mid: truncated chunk" truncated.mid -o out.wav --strict
expect_error "vorzle-render: song-as.wav: is the MIDI file itself" song-as.wav -o song-as.wav
expect_error "vorzle-render: out.ogg: vorzle-render writes WAV only; to get ogg, convert on the way" song.mid -o out.ogg
expect_error "vorzle-render: nowhere/out.wav: cannot create the temporary file" song.mid -o nowhere/out.wav
# Options.
expect_error "vorzle-render: --block-size: 'abc' is not a whole number" song.mid -o out.wav --block-size abc
expect_error "vorzle-render: --block-size: 0 is out of range (1 to 8192)" song.mid -o out.wav --block-size 0
expect_error "vorzle-render: --block-size: 9000 is out of range" song.mid -o out.wav --block-size 9000
expect_error "vorzle-render: --sample-rate: 100 is out of range" song.mid -o out.wav --sample-rate 100
expect_error "vorzle-render: --tail: -1 is out of range" song.mid -o out.wav --tail -1
expect_error "vorzle-render: --tail: 'soon' is not a number of seconds" song.mid -o out.wav --tail soon
expect_error "vorzle-render: --format: 's8' is not a format" song.mid -o out.wav --format s8
expect_error "vorzle-render: --program: 128 is out of range (the plug-in has 128 programs)" song.mid -o out.wav --program 128
expect_error "vorzle-render: --bogus: unknown option" song.mid -o out.wav --bogus
expect_error "vorzle-render: -o: needs a value" song.mid -o
expect_error "vorzle-render: no MIDI file given" -o out.wav
expect_error "vorzle-render: song.mid: no output file given" song.mid
# Plug-ins.
expect_error "vorzle-render: missing.dll: no such file" song.mid -o out.wav --plugin missing.dll
expect_error "vorzle-render: text.mid: not a plug-in module (neither a Windows DLL nor a Linux shared object)" song.mid -o out.wav --plugin text.mid
expect_error "vorzle-render: /usr/lib/vst/amsynth_vst.so: is a 64-bit Linux shared object (x86-64), but this vorzle-render loads only" song.mid -o out.wav --plugin /usr/lib/vst/amsynth_vst.so
expect_error "broken.dll. (Windows error 193)" song.mid -o out.wav --plugin broken.dll
expect_error "vorzle-render: mode5.dll: the module has no VST 2 entry point" song.mid -o out.wav --plugin mode5.dll
expect_error "vorzle-render: mode2.dll: the plug-in's entry point returned no instance" song.mid -o out.wav --plugin mode2.dll
expect_error "vorzle-render: mode3.dll: not an instrument (the plug-in does not set effFlagsIsSynth)" song.mid -o out.wav --plugin mode3.dll
expect_error "vorzle-render: mode4.dll: not an instrument (the plug-in has no audio outputs)" song.mid -o out.wav --plugin mode4.dll
expect_error "vorzle-render: mode1.dll: the plug-in crashed (exception 0xC0000005, access violation)" song.mid -o out.wav --plugin mode1.dll

# A crash must not touch an existing output file either, and must end with status 3.
printf 'earlier render\n' > keep.wav
wine "$exe" song.mid -o keep.wav --plugin mode1.dll >/dev/null 2>&1 </dev/null
status=$?
if [ "$status" -ne 3 ] || [ "$(cat keep.wav)" != "earlier render" ] || [ -e keep.wav.partial ]; then
  echo "FAIL: crash with an existing output: status $status, keep.wav: $(head -c 40 keep.wav), $(ls keep.wav*)"
  failures=$((failures + 1))
else
  echo "ok   crash leaves the earlier keep.wav as it was, status 3"
fi

# A user's own file named like the temporary one is neither overwritten nor removed.
printf 'mine\n' > mine.wav.partial
if wine "$exe" song.mid -o mine.wav --quiet </dev/null && [ "$(cat mine.wav.partial)" = mine ] && [ -s mine.wav ]; then
  echo "ok   a user's mine.wav.partial survives a render to mine.wav"
else
  echo "FAIL: mine.wav.partial: $(head -c 20 mine.wav.partial), $(ls mine.wav*)"; failures=$((failures + 1))
fi

# Ctrl-C stops the render (status 130, one line), a kill ends it (status 143): either
# way the temporary file goes and the old output stays.
# 64-bit Wine starts the program through start.exe and lets a Unix SIGTERM pass
# without ending it; there only Ctrl-C is a console event to test.
signals="INT TERM"
objdump -f "$exe" 2>/dev/null | grep -q 'pei-x86-64' && signals=INT
for signal in $signals; do
  printf 'earlier render\n' > keep.wav
  wine "$exe" song.mid -o keep.wav --tail 600 >/dev/null 2>stderr.txt </dev/null &
  runner=$!
  for _ in $(seq 100); do [ -s keep.wav.partial ] && break; sleep 0.1; done
  # The program itself, not a launcher such as start.exe (64-bit Wine) whose command line holds it.
  pid=$(pgrep -f "^[^ ]*vorzle-render.exe song.mid -o keep.wav" | head -1)
  [ -n "$pid" ] && kill -$signal "$pid"
  wait $runner
  status=$?
  message=$(tr -d '\r' < stderr.txt)
  sleep 0.5   # Wine removes a killed process's files as it notices the death
  expected=$([ $signal = INT ] && echo 130 || echo 143)
  if [ "$status" -eq "$expected" ] && [ "$(cat keep.wav)" = "earlier render" ] && [ ! -e keep.wav.partial ] &&
     { [ $signal = TERM ] || [ "$message" = "vorzle-render: interrupted; no output written" ]; }; then
    echo "ok   SIG$signal: status $status, keep.wav as it was, no temporary file${message:+, \"$message\"}"
  else
    echo "FAIL: SIG$signal: status $status, stderr '$message', $(ls keep.wav*)"; failures=$((failures + 1))
  fi
done

# A pipe closed by its reader: one line, status 1, no spool left in the temporary folder.
cp "$root/examples/demo.mid" demo.mid
for normalize in "" --normalize; do
  wine "$exe" demo.mid -o - $normalize 2>stderr.txt </dev/null | head -c 100 >/dev/null
  status=${PIPESTATUS[0]}
  message=$(tr -d '\r' < stderr.txt)
  spools=$(find "${WINEPREFIX:-$HOME/.wine}/drive_c" -name "*.spool" 2>/dev/null)
  if [ "$status" -eq 1 ] && [ "$message" = "vorzle-render: output closed" ] && [ -z "$spools" ]; then
    echo "ok   closed pipe${normalize:+ with $normalize}: \"$message\""
  else
    echo "FAIL: closed pipe $normalize: status $status, stderr '$message', $spools"; failures=$((failures + 1))
  fi
done

# --help is not an error.
# Whole output first: grep -q closing the pipe early would fail the pipeline.
help=$(wine "$exe" --help 2>/dev/null </dev/null | tr -d '\r')
if grep -q '^Usage: vorzle-render SONG.mid -o OUT.wav' <<<"$help"; then
  echo "ok   --help"
else
  echo "FAIL: --help"; failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all error cases refused cleanly"
