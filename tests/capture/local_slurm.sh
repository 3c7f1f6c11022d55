#!/usr/bin/env bash
# A one-node Slurm cluster on this machine for the tests, everything in one folder of its own:
#   local_slurm.sh start DIR   stops what an earlier start in DIR left, then starts munged,
#                              slurmctld and slurmd with DIR/slurm.conf and waits until the node
#                              takes jobs; prints the SLURM_CONF to use
#   local_slurm.sh stop DIR    cancels every job, stops the daemons and every job process the
#                              node started, by the ids recorded in DIR
# Needs root (the daemons run as root) and Debian's slurm-wlm and munge packages; says why and
# exits 77 when it can't.
set -uo pipefail
action="${1:-}" dir="${2:-}"
[ -n "$action" ] && [ -n "$dir" ] || { echo "usage: local_slurm.sh start|stop DIR" >&2; exit 2; }
mkdir -p "$dir" && dir="$(cd "$dir" && pwd)"
export SLURM_CONF="$dir/slurm.conf"

# The processes of this cluster: the daemons by their pid files, and any process (a job step's
# slurmstepd) whose working folder or open files lie in the cluster's own folders of DIR.
ours() {
  local pid
  for file in "$dir"/run/*.pid; do
    [ -f "$file" ] && pid="$(cat "$file")" && [ -d "/proc/$pid" ] && echo "$pid"
  done
  # One look through /proc (a process per entry would take seconds on a busy machine).
  find /proc/[0-9]*/cwd /proc/[0-9]*/fd/ -maxdepth 1 \( -lname "$dir/spool*" -o -lname "$dir/state*" \
    -o -lname "$dir/run*" \) 2>/dev/null | cut -d/ -f3 | grep -vx -e "$$" -e "$PPID"
}

stop() {
  if [ -f "$dir/slurm.conf" ] && [ -f "$dir/run/slurmctld.pid" ]; then
    timeout 10 scancel --full --quiet --user=root 2>/dev/null || true
  fi
  local pids
  for signal in TERM TERM TERM KILL; do
    pids="$(ours | sort -u)"
    [ -n "$pids" ] || return 0
    # shellcheck disable=SC2086
    kill -"$signal" $pids 2>/dev/null || true
    sleep 1
  done
  pids="$(ours | sort -u)"
  [ -z "$pids" ] || { echo "local_slurm: processes left: $pids" >&2; return 1; }
}

case "$action" in
  stop) stop; exit $? ;;
  start) ;;
  *) echo "usage: local_slurm.sh start|stop DIR" >&2; exit 2 ;;
esac

if [ "$(id -u)" -ne 0 ]; then echo "the test cluster's daemons run as root; this is uid $(id -u)" >&2; exit 77; fi
for program in munged slurmctld slurmd sbatch scontrol; do
  command -v "$program" >/dev/null || [ -x "/usr/sbin/$program" ] ||
    { echo "no $program: install slurm-wlm and munge (scripts/setup)" >&2; exit 77; }
done
PATH="$PATH:/usr/sbin"

stop || exit 1
rm -rf "$dir/run" "$dir/state" "$dir/spool" "$dir/log"
mkdir -p "$dir/run" "$dir/state" "$dir/spool" "$dir/log"
chmod 700 "$dir/run"
head -c 1024 /dev/urandom >"$dir/run/munge.key"
chmod 600 "$dir/run/munge.key"

# Ports of this run's own, so that another cluster on the machine is not in the way.
base=$(( 20000 + ($$ % 2000) * 4 ))
host="$(hostname -s)"
cat >"$SLURM_CONF" <<EOF
ClusterName=voltaresca-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$base
SlurmdPort=$((base + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/run/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SwitchType=switch/none
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
SchedulerParameters=sched_min_interval=100000
InactiveLimit=0
KillWait=5
MinJobAge=30
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF

fail() { echo "local_slurm: $*" >&2; tail -n 5 "$dir"/log/*.log >&2 2>/dev/null; stop; exit 1; }
munged --force --foreground --key-file="$dir/run/munge.key" --socket="$dir/run/munge.socket" \
  --pid-file="$dir/run/munged.pid" --log-file="$dir/log/munged.log" --seed-file="$dir/run/munge.seed" \
  </dev/null >/dev/null 2>&1 &
echo $! >"$dir/run/munged.pid"
for _ in $(seq 50); do [ -S "$dir/run/munge.socket" ] && break; sleep 0.1; done
[ -S "$dir/run/munge.socket" ] || fail "munged did not start"
slurmctld -D -c -i </dev/null >"$dir/log/slurmctld.out" 2>&1 &
echo $! >"$dir/run/slurmctld.pid"
slurmd -D -N "$host" </dev/null >"$dir/log/slurmd.out" 2>&1 &
echo $! >"$dir/run/slurmd.pid"
for _ in $(seq 100); do
  state="$(sinfo -h -N -o %t 2>/dev/null | head -1)"
  [ "$state" = "idle" ] && { echo "$SLURM_CONF"; exit 0; }
  sleep 0.2
done
fail "the node did not come up (state '${state:-none}')"
