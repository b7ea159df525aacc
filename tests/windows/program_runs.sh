#!/usr/bin/env bash
# Whole runs of the Windows program (under Wine on Linux) for what only
# Windows does: file names with accented letters reach the file system as
# typed, whether piped in as UTF-8 (or, failing that, in the ANSI code page)
# or given as arguments; answers end in CR LF or LF alike; a report name
# that Windows keeps for a device is refused; an input file that begins
# with a UTF-8 byte-order mark gives the report it gives without it; a report
# that cannot be created says why.
# Usage: program_runs.sh PROGRAM EXAMPLE (PROGRAM: resection.exe or a script
# that runs it; EXAMPLE: an input file that reaches the height results).
set -u
bin=$(realpath "${1:?usage: program_runs.sh PROGRAM EXAMPLE}")
example=$(realpath "${2:?usage: program_runs.sh PROGRAM EXAMPLE}")
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
cd "$w" || exit 1
cp "$example" in.txt
cp "$example" estação.txt
{ printf '\xef\xbb\xbf'; cat "$example"; } > marca.txt
failed=0

# run NAME STATUS LAST-CONSOLE-LINE ARGUMENTS... < answers
run() {
  local what=$1 status=$2 last=$3 rc
  shift 3
  timeout 20 "$bin" "$@" > console 2> errors
  rc=$?
  local got
  got=$(tail -c 300 console | tr -d '\r' | tail -n 1)
  if [ "$rc" -ne "$status" ]; then
    echo "FAIL $what: exit status $rc, not $status"; failed=$((failed + 1))
  elif [ "$got" != "$last" ]; then
    echo "FAIL $what: console ends with [$got], not [$last]"; failed=$((failed + 1))
  fi
}
same() {
  cmp -s "$2" reference.rel || { echo "FAIL $1: $2 differs from reference.rel"; failed=$((failed + 1)); }
}
height='Quer calcular a cota do ponto visado (S/N)? '

run reference 0 "$height" < <(printf 'in.txt\nreference.rel\nS\n')
run "accented names piped" 0 "$height" < <(printf 'estação.txt\nrelatório.rel\nS\n')
same "accented names piped" relatório.rel
run "accented names in the ANSI code page" 0 "$height" < <(printf 'esta\xe7\xe3o.txt\nan\xe1lise.rel\nS\n')
same "accented names in the ANSI code page" análise.rel
run "accented names as arguments" 0 "$height" estação.txt relatório2.rel < <(printf '\n\nS\n')
same "accented names as arguments" relatório2.rel
run "answers ending in CR LF" 0 "$height" < <(printf 'in.txt\r\ncrlf.rel\r\nS\r\n')
same "answers ending in CR LF" crlf.rel
run "byte-order mark" 0 "$height" < <(printf 'marca.txt\nmarca.rel\nS\n')
same "byte-order mark" marca.rel
run "missing accented name shown as typed" 2 \
  'Nao foi possivel abrir o ficheiro de input "praça.txt": o ficheiro nao existe.' \
  < <(printf 'praça.txt\n')

for name in nul NUL.rel aux.rel Con com1 COM9.txt lpt1.rel 'prn .rel' 'sub\aux.rel'; do
  run "device name $name" 2 "Nome do ficheiro de output: Nao foi possivel criar o ficheiro de output \"$name\": o nome e de um dispositivo do Windows (CON, PRN, AUX, NUL, COM1 a COM9, LPT1 a LPT9, com qualquer extensao), nao de um ficheiro: escolha outro nome." \
    < <(printf 'in.txt\n%s\n' "$name")
done
# Names that only look like devices are ordinary files.
for name in nulo.rel com10.rel auxiliar.rel; do
  run "ordinary name $name" 0 "$height" < <(printf 'in.txt\n%s\nS\n' "$name")
  same "ordinary name $name" "$name"
done

# A report that cannot be created says why, as on other systems.
mkdir pasta
run "report in a missing folder" 2 \
  'Nome do ficheiro de output: Nao foi possivel criar o ficheiro de output "falta/r.rel": a pasta nao existe.' \
  < <(printf 'in.txt\nfalta/r.rel\n')
run "report named as a folder" 2 \
  'Nome do ficheiro de output: Nao foi possivel criar o ficheiro de output "pasta": e uma pasta, nao um ficheiro.' \
  < <(printf 'in.txt\npasta\n')

echo "$failed failed"
[ "$failed" -eq 0 ]
