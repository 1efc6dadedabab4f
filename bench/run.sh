#!/usr/bin/env bash
# Builds and runs the benchmarks, then prints each figure as a ratio against its peer measured in
# the same run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DBRV_BENCH=ON -DBRV_TESTS=OFF
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$here/build-bench/bench/bench_logging" --benchmark_format=json >"$out/logging.json"
"$here/build-bench/bench/bench_eventbus" --benchmark_format=json >"$out/eventbus.json"
python3 - "$out" <<'PY'
import json, sys, os
d = sys.argv[1]
def load(name):
    with open(os.path.join(d, name)) as f:
        return {b["name"]: b for b in json.load(f)["benchmarks"]}
log = load("logging.json"); bus = load("eventbus.json")
ours, peer = log["BM_LogUtilCall/iterations:100"], log["BM_SpdlogCall/iterations:100"]
print(f"log call median: ours {ours['median_ns']:.0f} ns, spdlog async {peer['median_ns']:.0f} ns, ratio {ours['median_ns']/peer['median_ns']:.2f}")
print(f"log call p99:    ours {ours['p99_ns']:.0f} ns, spdlog async {peer['p99_ns']:.0f} ns, ratio {ours['p99_ns']/peer['p99_ns']:.2f}")
qt = log["BM_QtMacroOnly/iterations:100"]
print(f"  of which Qt's message macro alone (no-op handler): median {qt['median_ns']:.0f} ns, ratio to spdlog {qt['median_ns']/peer['median_ns']:.2f}")
ow, pw = log["BM_LogUtilWriter/iterations:5/real_time"], log["BM_SpdlogWriter/iterations:5/real_time"]
print(f"writer, flush per line: ours {ow['items_per_second']:.0f} lines/s, spdlog {pw['items_per_second']:.0f} lines/s, ratio {ow['items_per_second']/pw['items_per_second']:.2f}")
ob = next(v for k, v in bus.items() if k.startswith("BM_GlobalSignalNotify"))
pb = next(v for k, v in bus.items() if k.startswith("BM_QueuedInvokeMethod"))
cost_o, cost_p = 1e9/ob['items_per_second'], 1e9/pb['items_per_second']
print(f"event bus across threads: notify {cost_o:.0f} ns/msg, queued invokeMethod {cost_p:.0f} ns/msg, ratio {cost_o/cost_p:.2f}")
PY
"$here/build-bench/bench/bench_logzip"
# The live window's class data at 10,000 students, against parsing the same text alone.
"$here/build-bench/bench/bench_live" --benchmark_format=json >"$out/live.json"
python3 - "$out/live.json" <<'PY'
import json, sys
b = {r["name"]: r for r in json.load(open(sys.argv[1]))["benchmarks"]}
def ms(name):
    return next(v for k, v in b.items() if k.startswith(name))["real_time"]
for work, ours, peer in (("SetLiveData, 10,000 students", "BM_SetLiveData", "BM_ParseLiveDataOnly"),
                         ("online list of 10,000 applied", "BM_ApplyOnlineList", "BM_ParseOnlineListOnly")):
    print(f"{work}: {ms(ours):.1f} ms, parsing the same text alone {ms(peer):.1f} ms, ratio {ms(ours)/ms(peer):.2f}")
PY
# Group messages through a loopback class server: our SDK against two bare libstrophe clients.
imdir=$(mktemp -d)
trap '"$here/scripts/class-servers.sh" stop "$imdir"; rm -rf "$out" "$imdir"' EXIT
# Only the IM benchmark is pointed at the server: the class benchmarks below run without one.
env "$("$here/scripts/class-servers.sh" start "$imdir" im)" "$here/build-bench/bench/bench_im" >"$out/im.json"
"$here/scripts/class-servers.sh" stop "$imdir"
python3 - "$out/im.json" <<'PY'
import json, sys
rows = {r["who"]: r for r in map(json.loads, open(sys.argv[1]))}
o, p = rows["sdk"], rows["bare_libstrophe"]
print(f"IM group send->receive p50: ours {o['p50_ms']:.2f} ms, bare libstrophe {p['p50_ms']:.2f} ms, ratio {o['p50_ms']/p['p50_ms']:.2f}")
print(f"IM group send->receive p99: ours {o['p99_ms']:.2f} ms, bare libstrophe {p['p99_ms']:.2f} ms, ratio {o['p99_ms']/p['p99_ms']:.2f}")
print(f"IM 1,000-message burst: ours {o['burst_msg_s']:.0f} msg/s, bare libstrophe {p['burst_msg_s']:.0f} msg/s, ratio {o['burst_msg_s']/p['burst_msg_s']:.2f}"
      f" (received {o['burst_received']}/{p['burst_received']}, in order {o['in_order']}/{p['in_order']})")
PY
# The audio/video SDK on a private display, with no sound server (the camera is the virtual one).
PULSE_SERVER=unix:/nonexistent xvfb-run -a -s "-screen 0 1280x720x24 -nolisten tcp" \
  "$here/build-bench/bench/bench_av"
# Rooms on the media server (Janus): every participant a process, all inside a private network
# namespace, on a private display, with no sound server.
"$here/tests/av/netns-run.sh" env PULSE_SERVER=unix:/nonexistent xvfb-run -a \
  -s "-screen 0 1600x1000x24 -nolisten tcp" "$here/build-bench/bench/bench_avroom" >"$out/avroom.json"
python3 - "$out/avroom.json" <<'PY'
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{")]
j = next(r for r in rows if r["figure"] == "join_to_first_frame")
print(f"join -> first remote frame (20 joins): p50 {j['p50_ms']:.0f} ms, p95 {j['p95_ms']:.0f} ms (target p95 <= 800 ms)")
c = next(r for r in rows if r["figure"] == "cpu_pub_sub_640x360_15")
print(f"CPU, 1 publisher + 1 viewer 640x360@15: ours {c['ours_pct']:.1f} %, bare gst-launch RTP pipelines {c['peer_pct']:.1f} %, ratio {c['ratio']:.2f} (target <= 1.3)")
views = [r["view"] for r in rows if r["figure"] == "four_participants"]
if views:
    low = min(v["fps_min"] for v in views); mean = min(v["fps_mean"] for v in views)
    print(f"four participants, each viewing three: {len(views)} views, lowest mean {mean:.1f} fps, lowest reading {low} fps (target >= 14)")
PY
"$here/bench/startup.sh" "$here/build-bench/src/brimvale"
# A teacher alone in a class without servers (IM embedded, the room of one), in a user folder of
# its own: memory in class against the same client at home.
cls=$(mktemp -d)
mkdir -p "$cls/home" "$cls/config" "$cls/data" "$cls/cache" "$cls/runtime"
chmod 700 "$cls/runtime"
HOME=$cls/home XDG_CONFIG_HOME=$cls/config XDG_DATA_HOME=$cls/data XDG_CACHE_HOME=$cls/cache \
  XDG_RUNTIME_DIR=$cls/runtime BRV_DEMO_USER="demo-teacher-01:Demo Teacher:Teacher" \
  PULSE_SERVER=unix:/nonexistent xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" \
  "$here/build-bench/bench/bench_classroom" >"$out/classroom.json"
rm -rf "$cls"
python3 - "$out/classroom.json" <<'PY'
import json, sys
r = json.loads(open(sys.argv[1]).read().strip().splitlines()[-1])
h, c = r["home"], r["in_class"]
print(f"memory in class vs at home, PSS: {c['pss_kb']/1024:.0f} MiB vs {h['pss_kb']/1024:.0f} MiB, ratio {c['pss_kb']/h['pss_kb']:.2f}")
print(f"memory in class vs at home, RSS: {c['rss_kb']/1024:.0f} MiB vs {h['rss_kb']/1024:.0f} MiB, ratio {c['rss_kb']/h['rss_kb']:.2f}")
PY
# A class of two clients, a teacher and a student, through the class servers: all inside a private
# network namespace, on a private display, with no sound server. Their times are set against a
# teacher alone, without servers, measured the same way first.
"$here/tests/av/netns-run.sh" env PULSE_SERVER=unix:/nonexistent QTWEBENGINE_DISABLE_SANDBOX=1 \
  xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" \
  "$here/build-bench/bench/bench_class" >"$out/class.json"
python3 - "$out/class.json" <<'PY'
import json, sys
r = json.loads(open(sys.argv[1]).read().strip().splitlines()[-1])
a, t, s = r["alone"], r["teacher"], r["student"]
def times(x):
    return f"to JoinGroupSuccess {x['open_to_join_group_ms']:.0f} ms" + (
        f", StartLive -> EnterRoomSuccess {x['start_to_enter_room_ms']:.0f} ms" if "start_to_enter_room_ms" in x else "")
alone = a["open_to_enter_room_ms"]
print(f"OpenLive -> EnterRoomSuccess, teacher alone (embedded): {alone:.0f} ms ({times(a)})")
print(f"OpenLive -> EnterRoomSuccess, two-client class, teacher: {t['open_to_enter_room_ms']:.0f} ms ({times(t)}),"
      f" ratio to the teacher alone {t['open_to_enter_room_ms']/alone:.2f}")
print(f"OpenLive -> EnterRoomSuccess, two-client class, student arriving in the class that is on:"
      f" {s['open_to_enter_room_ms']:.0f} ms ({times(s)}), ratio to the teacher alone {s['open_to_enter_room_ms']/alone:.2f}")
c, h = r["cpu_class"], r["cpu_home"]
parts = ", ".join(f"{k} {c[k]:.1f} %" for k in ("teacher", "student", "servers"))
print(f"CPU of the two-client class, both cameras on, over 20 s on {r['cores']} cores: {c['total']:.1f} % of all cores"
      f" ({parts}); the same processes at home {h['total']:.1f} %")
PY
