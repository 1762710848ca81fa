#!/usr/bin/env bash
# Stops what start_servers.sh started in <state-dir>.
state=$1
for name in nginx fault; do
  pid_file=$state/$name.pid
  [ -f "$pid_file" ] || continue
  pid=$(cat "$pid_file")
  kill -TERM "$pid" 2>/dev/null || true
  # Gone, or a zombie that nobody reaps.
  for _ in $(seq 1 50); do
    case "$(ps -o stat= -p "$pid" 2>/dev/null)" in "" | Z*) break ;; esac
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  rm -f "$pid_file"
done
