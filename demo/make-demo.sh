#!/usr/bin/env bash
# Lays out a demo installation in DIR (default build/demo), replacing an older one:
#   DIR/root          the installation root: profile files in windows/, the alarm server's
#                     statistic-file directory qxt/log with files of several ages, the alarm table
#   DIR/work          the working directory: log/ for the service's own logs, the batch programs,
#                     and bin/ with stub sibling programs that append their command lines to started.txt
set -euo pipefail
dir="${1:-build/demo}"
rm -rf "$dir"
mkdir -p "$dir"/root/windows "$dir"/root/qxt/log "$dir"/root/db1 "$dir"/work/log "$dir"/work/bin
dir="$(cd "$dir" && pwd)"
export TZ="${TZ:-Europe/Berlin}"

crlf() { sed 's/$/\r/' > "$1"; }

crlf "$dir/root/windows/qxmover.ini" <<'INI'
[Config]
DelLogFiles=1
WaitBeforeDel=2
Start2ndBatch=1
WriteLogFile=1
MoveConferWav=1
MoveConferWavDaily=1
MoveToConferWav=1
DelConferWav=1
MoveConferWavAfterWeeks=2
MoveConferWavTo=\qxt\confarchive
DelConferWavAfterWeeks=8
DelConferEvtFiles=1
DelAlarmWav=1
DelAlarmWavAfterWeeks=4
DeleteMoreFiles=1
PrintReport=1
[AlarmReport]
ReportType=0
[DeleteAddtionalLogs]
DelPath1=\qxt\trace
DelExt1=*.log;*.err
DelAfterWeeks1=2
[Platform]
Print=lpstub
[HDCheck]
Active=0
CheckTime=7
[StartMore]
Prog1=qxarun_daily
Day1=0
Time1=0
Type1=1
[QxeTaskParameter1]
s2=nightly
i3=0
[Launcher1]
StartProgram=cleanup.bat
AtHour=1
Active=1
INI
crlf "$dir/root/windows/qxaview.ini" <<'INI'
[Config]
AlarmSelectionRange=week
AlarmDBPath=\qxt\log
INI
crlf "$dir/root/windows/qxalarm.ini" <<'INI'
[config]
FirstAlarmKey=10
LastAlarmKey=20
INI
crlf "$dir/root/windows/qxaconf.ini" <<'INI'
[Config]
Vm001Path=\db1\
GroupDataBase=\db1\qxgroups.dbf
INI
crlf "$dir/root/windows/qxinfo.ini" <<'INI'
[Addresses]
Customer=Demo Hospital
INI

# Statistic files: this week's, a young log still being written, last year's week 47 leftovers.
log="$dir/root/qxt/log"
for p in dbf l1 l2 log dlf alr vox prt msg rcf cnf cnr pag tts eml ein trp bmc err txt res dle jpg gif png cip evt; do
  echo "statistics $p" > "$log/day1.$p"
  touch -d "2026-12-03 10:00" "$log/day1.$p"
done
# The viewer's index of alarm runs (the weekly report prints one block per line) and the run logs,
# which the index names relative to the working directory.
printf '%s\r\n' "01.12,08:15:00,1,R0000101" "03.12,14:02:30,1,R0000102" "06.12,22:47:10,1,R0000103" \
  > "$log/qxaview.inf"
printf '[Alarm]\r\nAlarmKey=11\r\nAlarmName=Fire alarm hall 1\r\nAlarmGroup=1\r\nLaunchedBy=Detector 17\r\nDisplayMessage=Fire\xa7Hall 1\r\nSMSPagerUUIMessage=Fire in hall 1\r\n' \
  > "$dir/work/log/R0000101.log"
printf '[Alarm]\r\nAlarmKey=12\r\nAlarmName=Lift emergency\r\nAlarmGroup=2\r\nLaunchedBy=Lift 2\r\n' > "$dir/work/log/R0000102.log"
printf '[Alarm]\r\nAlarmKey=15\r\nAlarmGroup=9\r\nLaunchedBy=Web\r\n' > "$dir/work/log/R0000103.log"

# Conference recordings of several ages and an archive with old ones; alarm recordings; trace logs of a
# deletion rule.
mkdir -p "$dir/root/qxt/log/confwav" "$dir/root/qxt/confarchive" "$dir/root/dbv1" "$dir/root/qxt/trace"
for d in 2026-11-10 2026-11-20 2026-12-05; do
  touch -d "$d 10:00" "$dir/root/qxt/log/confwav/conf_$d.wav"
done
for f in conf_2026-09-01.wav conf_2026-09-01.evt conf_2026-11-01.wav; do
  touch -d "${f:5:10} 10:00" "$dir/root/qxt/confarchive/$f"
done
touch -d "2026-10-01 10:00" "$dir/root/dbv1/A0000011.WAV" "$dir/root/dbv1/v0000011.wav"
touch -d "2026-12-01 10:00" "$dir/root/dbv1/A0000012.WAV"
touch -d "2026-11-01 10:00" "$dir/root/qxt/trace/server1.log" "$dir/root/qxt/trace/server1.err"
touch -d "2026-12-06 10:00" "$dir/root/qxt/trace/server2.log"
echo "being written" > "$log/line0001.log"   # 12 characters, no "qx": too young to move
touch -d "2026-12-06 22:00" "$log/line0001.log"
mkdir -p "$log/log47"
for p in dbf log inf evt; do echo "old $p" > "$log/log47/old.$p"; done

# Batch programs in the working directory and stub sibling programs on PATH.
for b in qxmove2.bat qxdel2.bat qxmover.bat qxlogdel.bat cleanup.bat; do
  printf 'rem %s: demo stand-in\necho "%s $*" >> "%s/started.txt"\n' "$b" "$b" "$dir/work" > "$dir/work/$b"
done
for p in qxe qxtque qxsavebase lpstub; do
  printf '#!/bin/sh\necho "%s $*" >> "%s/started.txt"\n' "$p" "$dir/work" > "$dir/work/bin/$p"
  chmod +x "$dir/work/bin/$p"
done

# The alarm table: alarm definitions (T02 = 91) for keys 11, 12 and 15.
if /usr/bin/python3 -c 'import dbf' 2>/dev/null; then
  /usr/bin/python3 - "$dir/root/db1/vm001.dbf" <<'PY'
import sys, dbf
fields = "; ".join(["T%02d N(9,0)" % i for i in range(1, 31)] + ["T31 C(49)", "T32 C(49)", "T33 C(49)"])
table = dbf.Table(sys.argv[1], fields, codepage="cp1252")
table.open(dbf.READ_WRITE)
names = {11: "Fire alarm hall 1", 12: "Lift emergency", 15: "Server room temperature"}
for key in range(0, 21):
    table.append({"t02": 91 if key in names else 0, "t33": names.get(key, "")})
table.close()
PY
  /usr/bin/python3 - "$dir/root/db1/qxgroups.dbf" <<'PY'
import sys, dbf
table = dbf.Table(sys.argv[1], "GRPID N(4,0); GRPNAME C(39); GRPNUM N(6,0)", codepage="cp1252")
table.open(dbf.READ_WRITE)
for record in ((1, "Fire brigade", 1), (2, "Technical staff", 2)):
    table.append(record)
table.close()
PY
fi
echo "demo installation in $dir"
