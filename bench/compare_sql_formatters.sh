#!/usr/bin/env bash
# Formats one 100 KB query (final queries joined by UNION ALL) with
# zazozav-cli format-sql, python3-sqlparse and pg_format, each as a whole
# process, in one hyperfine run, and prints how many times faster
# zazozav-cli is than each of the others.
#
# Usage: bench/compare_sql_formatters.sh [ZAZOZAV_CLI] [TRACE...]
#   ZAZOZAV_CLI  defaults to build/zazozav-cli under the source tree.
#   TRACE...     traces whose SELECT final queries make up the query;
#                defaults to samples/*.trc.
# Needs hyperfine, pg_format and /usr/bin/python3 with sqlparse.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/zazozav-cli}
shift || true
if [ $# -eq 0 ]; then set -- "$root"/samples/*.trc; fi
size=${QUERY_BYTES:-102400}
min_runs=${MIN_RUNS:-3}

for tool in hyperfine pg_format; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
/usr/bin/python3 -c 'import sqlparse' 2>/dev/null || { echo "missing: python3-sqlparse" >&2; exit 1; }
[ -x "$cli" ] || { echo "not executable: $cli" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The line after each final-query marker is the query; only SELECTs can be
# joined by UNION ALL, and only ASCII ones, since sqlparse insists on UTF-8.
awk '/Final query after transformations:/ { if ((getline line) > 0) { sub(/\r$/, "", line); print line } }' "$@" |
  LC_ALL=C grep -a '^SELECT ' | LC_ALL=C grep -a -v '[^[:print:]]' >"$work/queries" || true
[ -s "$work/queries" ] || { echo "no SELECT final queries in: $*" >&2; exit 1; }
awk -v size="$size" '
  { q[n++] = $0 }
  END {
    out = ""
    for (i = 0; length(out) < size; i++) out = out (i ? " UNION ALL " : "") q[i % n]
    printf "%s", out
  }' "$work/queries" >"$work/query.sql"

if ! "$cli" format-sql <"$work/query.sql" >"$work/formatted.sql"; then
  echo "zazozav-cli format-sql did not format the query" >&2
  exit 1
fi
echo "query: $(wc -c <"$work/query.sql") bytes from $(wc -l <"$work/queries") final queries;" \
  "formatted: $(wc -c <"$work/formatted.sql") bytes"

# hyperfine runs each command for about 3 s, at least MIN_RUNS times: the
# fast formatter gets hundreds of runs, the slow ones a few.
hyperfine --style basic --warmup 1 --min-runs "$min_runs" --export-json "$work/times.json" \
  -n zazozav-cli "'$cli' format-sql < '$work/query.sql'" \
  -n sqlparse "/usr/bin/python3 -m sqlparse -r '$work/query.sql'" \
  -n pg_format "pg_format '$work/query.sql'"

/usr/bin/python3 - "$work/times.json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
ours = results["zazozav-cli"]["mean"]
print()
print("%-12s %12s %14s" % ("formatter", "mean", "zazozav-cli is"))
for name in ("zazozav-cli", "sqlparse", "pg_format"):
    mean = results[name]["mean"]
    print("%-12s %9.1f ms %12.0f x" % (name, mean * 1000, mean / ours))
PY
