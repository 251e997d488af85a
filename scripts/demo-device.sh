# Sourced by scripts/run and scripts/screenshot: starts one emulated device with
# a sample project, a data log and a few fonts, on a link below $1, on a line as
# fast as a real one (115200 baud: 11 520 bytes a second).
# Sets emulator_pid and demo_port; stop_demo_device ends the device.

start_demo_device() {
    local work=$1
    local bin=build/bin
    mkdir -p "$work/device/fonts"

    # A data log as the device keeps it: one SQLite table per log, "_log" is internal.
    # A day of readings every five minutes; one reading of the tank failed.
    python3 - "$work/dataLogging.txdb" <<'PY'
import datetime, math, sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.execute('CREATE TABLE "Tank Level" (time TEXT, level REAL)')
db.execute('CREATE TABLE "Température" (time TEXT, celsius REAL)')
db.execute('CREATE TABLE _log (entry TEXT)')
start = datetime.datetime(2026, 1, 1, 0, 0)
for i in range(288):
    stamp = (start + datetime.timedelta(minutes=5 * i)).strftime("%Y-%m-%d %H:%M")
    hours = i / 12
    level = "sensor fault" if i == 200 else round(55 - 0.9 * hours + (12 if hours >= 14 else 0) + 1.5 * math.sin(i / 3), 2)
    db.execute('INSERT INTO "Tank Level" VALUES (?, ?)', (stamp, level))
    db.execute('INSERT INTO "Température" VALUES (?, ?)', (stamp, round(19.5 + 3 * math.sin((hours - 9) / 24 * 2 * math.pi), 2)))
db.commit()
PY

    # A few user fonts on the device, from Debian's fonts-dejavu-core.
    local font
    for font in DejaVuSans.ttf DejaVuSans-Bold.ttf DejaVuSansMono.ttf; do
        if [ -f "/usr/share/fonts/truetype/dejavu/$font" ]; then
            cp "/usr/share/fonts/truetype/dejavu/$font" "$work/device/fonts/"
        fi
    done

    "$bin/dovrel-device-emulator" --root "$work/device" --populate \
        --sample-datalog "$work/dataLogging.txdb" --app-version 2.1.6.2886 \
        --serial 2314DV0042 --name "Demo Panel" --timezone 60 --reboot-replug 3000 --throttle 11520 \
        --link "$work/ttyDOVREL" > "$work/emulator.out" 2> "$work/emulator.err" &
    emulator_pid=$!
    local _
    for _ in $(seq 100); do
        [ -e "$work/ttyDOVREL" ] && break
        sleep 0.1
    done
    if [ ! -e "$work/ttyDOVREL" ]; then
        echo "The emulated device did not start; see $work/emulator.err" >&2
        return 1
    fi
    demo_port="$work/ttyDOVREL"
}

stop_demo_device() {
    if [ -n "${emulator_pid:-}" ] && kill -0 "$emulator_pid" 2>/dev/null; then
        kill "$emulator_pid"
        wait "$emulator_pid" 2>/dev/null || true
    fi
    emulator_pid=""
}
