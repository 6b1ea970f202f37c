#!/usr/bin/env bash
# The README's many-machines recipes run for real: GNU parallel over SSH to an sshd of the test's
# own on 127.0.0.2 (its own keys, config and working folder, the built converter on its PATH),
# with the local machine (:) taking part, names that hold spaces, a subfolder and non-ASCII, and a
# file that is not a video. Every result comes back and decodes, nothing stays on the host, the
# failure is parallel's exit status; then --folder-prefix, and the shared-folder form.
# $1: the build's output folder.
set -euo pipefail
out=$(cd "${1:?output folder}" && pwd)
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in ssh ssh-keygen rsync parallel ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
done
sshd=$(command -v sshd || echo /usr/sbin/sshd)
[ -x "$sshd" ] || skip "no sshd to start: openssh-server is not installed (scripts/setup installs it)"
# sshd refuses to start without its privilege separation folder.
[ -d /run/sshd ] || mkdir -m 755 /run/sshd 2>/dev/null || skip "sshd cannot start: /run/sshd is missing and cannot be made"

work=$(mktemp -d)
chmod 700 "$work"
sshd_pid=
cleanup() {
  if [ -n "$sshd_pid" ]; then kill "$sshd_pid" 2>/dev/null || true; wait "$sshd_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP
keys=$work/ssh host=$work/host files=$work/files
mkdir -m 700 "$keys" && mkdir "$host" "$files"
ssh-keygen -q -t ed25519 -N '' -f "$keys/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$keys/client_key"
cp "$keys/client_key.pub" "$keys/authorized_keys"

# The "remote host": sshd on a loopback address, working in $host as a host works in its home.
start_sshd() {
  cat > "$keys/sshd_config" <<EOF
ListenAddress 127.0.0.2:$1
HostKey $keys/host_key
AuthorizedKeysFile $keys/authorized_keys
AuthenticationMethods publickey
PermitRootLogin prohibit-password
UsePAM no
# The keys lie under the world-writable temporary folder, which strict modes refuse.
StrictModes no
PidFile none
SetEnv PATH=$out:/usr/bin:/bin HOME=$host
ForceCommand cd $host && eval "\$SSH_ORIGINAL_COMMAND"
EOF
  "$sshd" -t -f "$keys/sshd_config" || fail "sshd rejects the test's config"
  : > "$keys/sshd.log"
  "$sshd" -D -f "$keys/sshd_config" -E "$keys/sshd.log" &
  sshd_pid=$!
  for _ in $(seq 1 50); do
    grep -q '^Server listening' "$keys/sshd.log" && return 0
    kill -0 "$sshd_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$sshd_pid" 2>/dev/null || true
  wait "$sshd_pid" 2>/dev/null || true
  sshd_pid=
  return 1
}
port=
for _ in 1 2 3; do
  candidate=$((20000 + RANDOM % 40000))
  if start_sshd "$candidate"; then port=$candidate; break; fi
done
[ -n "$port" ] || skip "sshd cannot be started on 127.0.0.2: $(tail -n 3 "$keys/sshd.log")"

cat > "$keys/ssh_config" <<EOF
Host quenlar-host
  HostName 127.0.0.2
  Port $port
  User $(id -un)
  IdentityFile $keys/client_key
  IdentitiesOnly yes
  UserKnownHostsFile $keys/known_hosts
  GlobalKnownHostsFile /dev/null
  StrictHostKeyChecking yes
  BatchMode yes
EOF
echo "[127.0.0.2]:$port $(cut -d' ' -f1,2 "$keys/host_key.pub")" > "$keys/known_hosts"
[ "$(ssh -F "$keys/ssh_config" quenlar-host 'command -v quenlar-convert')" = "$out/quenlar-convert" ] ||
  fail "the host does not run the built converter"

export PATH="$out:$PATH" PARALLEL_HOME="$work/parallel"
ssh_cmd="ssh -F $keys/ssh_config"
cd "$files"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=352x288:rate=25" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100" -t 2 -target pal-vcd clip.mpg
good=("Disc 2/片段.mpg" "Ünïcode.mpg" "clip 1.mpg" "Tom's clip \$2.mpg")
mkdir "Disc 2"
for name in "${good[@]}"; do cp clip.mpg "$name"; done
head -c 100000 /dev/urandom > "not a video.mpg"
cp "not a video.mpg" "Disc 2/not a video.mpg"

# A whole .rm: every frame of the reference, converted here straight from the same clip, decodes.
frames() {
  ffprobe -v error -count_frames -select_streams v -show_entries format=format_name:stream=codec_name,nb_read_frames \
    -of default=nw=1 "$1" || fail "$1 does not decode"
}
quenlar-convert --quiet clip.mpg > /dev/null || fail "the reference conversion failed"
reference=$(frames clip.rm)
grep -qx 'codec_name=rv40' <<<"$reference" || fail "the reference is no rv40 .rm: $reference"
check_rm() {
  local got
  [ -f "$1" ] || fail "$1 did not come back"
  got=$(frames "$1")
  [ "$got" = "$reference" ] || fail "$1: $got, not as the reference: $reference"
}
host_left() { [ -z "$(ls -A "$host")" ] || fail "left on the host after $1: $(cd "$host" && find . -mindepth 1)"; }

# 1. Files copied to the host and the results back, the local machine taking its share.
status=0
# Three slots, two on the host: each machine surely gets one of the first files.
RSYNC_OLD_ARGS=1 parallel --ssh "$ssh_cmd" -S 2/quenlar-host,1/: --trc {.}.rm --joblog "$work/jobs.txt" \
  quenlar-convert --quiet ::: "${good[@]}" "not a video.mpg" > "$work/run1.txt" 2>&1 || status=$?
echo "joblog:"; cat "$work/jobs.txt"
[ "$status" -eq 1 ] || { cat "$work/run1.txt"; fail "parallel's exit status $status, not 1 for the one failure"; }
for name in "${good[@]}"; do
  [ -f "$name" ] || fail "the source $name is gone"
  check_rm "${name%.mpg}.rm"
done
[ ! -e "not a video.rm" ] || fail "the failed file has a target"
grep -q '^failed not a video\.mpg: ' "$work/run1.txt" || fail "the failure is not named: $(cat "$work/run1.txt")"
jobs_on() { awk -F'\t' -v h="$1" -v e="${2-}" 'NR > 1 && $2 == h && (e == "" || $7 == e)' "$work/jobs.txt" | wc -l; }
[ "$(jobs_on quenlar-host 0)" -ge 1 ] && [ "$(jobs_on :)" -ge 1 ] ||
  fail "both machines should have converted a file"
host_left "the copying run"

# 2. --folder-prefix changes the target's name; the return names it from the folder. A failure
#    on the host counts too, and leaves nothing there.
status=0
RSYNC_OLD_ARGS=1 parallel --ssh "$ssh_cmd" -S quenlar-host --trc {//}/{//}_{/.}.rm \
  quenlar-convert --quiet --folder-prefix ::: "Disc 2/片段.mpg" "Disc 2/not a video.mpg" > "$work/run2.txt" 2>&1 ||
  status=$?
[ "$status" -eq 1 ] || { cat "$work/run2.txt"; fail "--folder-prefix over ssh: exit status $status, not 1"; }
check_rm "Disc 2/Disc 2_片段.rm"
[ ! -e "Disc 2/Disc 2_not a video.rm" ] || fail "the failed file on the host has a target"
host_left "the prefixed run"

# 3. A folder both machines see at the same path: absolute names, nothing copied. One slot
#    each: one file on each machine.
rm -- *.rm "Disc 2"/*.rm
parallel --ssh "$ssh_cmd" -S 1/quenlar-host,1/: --joblog "$work/jobs3.txt" quenlar-convert --quiet \
  ::: "$files/${good[0]}" "$files/${good[2]}" > "$work/run3.txt" 2>&1 || fail "shared folder: $(cat "$work/run3.txt")"
check_rm "${good[0]%.mpg}.rm"
check_rm "${good[2]%.mpg}.rm"
[ "$(awk -F'\t' 'NR > 1 { print $2 }' "$work/jobs3.txt" | LC_ALL=C sort | tr '\n' ' ')" = ": quenlar-host " ] ||
  fail "shared folder: not one file on each machine: $(cat "$work/jobs3.txt")"
host_left "the shared-folder run"

echo "parallel over ssh: every result back and whole, the failure counted, nothing left on the host"
