#!/usr/bin/env bash
# Fuzzes the readers of what strangers write: builds the fuzz targets with clang,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz (or
# $QUILLON_FUZZ_BUILD), then runs each for SECONDS seconds.
#
#   scripts/fuzz.sh SECONDS [TARGET...]      (default: every target, 60 seconds)
#
# Each target starts from the inputs kept in tests/fixtures/fuzz/TARGET and seeds made
# from the tests' files and the shipped keys; what it learns stays in
# build-fuzz/corpus/TARGET. A crash, leak, hang or over-limit allocation is written to
# build-fuzz/findings/ and ends that target's run with a non-zero status: keep the
# input in tests/fixtures/fuzz/TARGET (ctest replays it there) and mend the reader.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=(fuzz_delimited fuzz_native fuzz_listing fuzz_html_text fuzz_next_link fuzz_structured fuzz_vcard
                                     fuzz_xlsx)
build=${QUILLON_FUZZ_BUILD:-build-fuzz}

missing=()
for p in clang libfuzzer-14-dev cmake ninja-build; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y "${missing[@]}"
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_FUZZ=ON -DQUILLON_BUILD_TESTS=OFF -DQUILLON_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" quillon-grid

# Seeds from the files the tests and the program already have.
seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{fuzz_delimited,fuzz_native,fuzz_listing,fuzz_html_text,fuzz_next_link,fuzz_structured,fuzz_vcard,fuzz_xlsx} \
    "$build/findings"
i=0
for csv in data/sites.csv data/keys/*.csv tests/fixtures/grab-expected/*.csv data/sample/*.csv; do
    [[ -f $csv ]] || continue
    i=$((i + 1))
    { printf '\x00'; cat "$csv"; } >"$seeds/fuzz_delimited/csv$i"
    { printf '\x01'; tr ',' '\t' <"$csv"; } >"$seeds/fuzz_delimited/tab$i"
    "$build/bin/quillon-grid" convert --to native "$csv" "$seeds/fuzz_native/grid$i.vty" >/dev/null 2>&1 || true
done
pair() { # key page rules-byte name
    [[ -f $1 && -f $2 ]] || return 0
    { cat "$1"; printf '\x00'; printf "\\x$3"; head -c 200000 "$2"; } >"$seeds/fuzz_listing/$4"
}
pair data/keys/yp2017.csv tests/fixtures/directory-pages/yellowpages-1.html 00 yp1
pair data/keys/yp2018.csv tests/fixtures/directory-pages/yellowpages-2.html 00 yp2
pair data/keys/ypau2025.csv tests/fixtures/directory-pages/yellowpages-au-1.html 00 ypau
pair data/keys/localsearch2025.csv tests/fixtures/directory-pages/localsearch-au-1.html 00 ls
pair data/keys/samplea.csv tests/fixtures/directory-pages/yellowpages-1.html 01 samplea
pair data/keys/sampleb.csv tests/fixtures/directory-pages/yellowpages-2.html 02 sampleb
for page in tests/fixtures/directory-pages/*.html; do
    name=$(basename "$page" .html)
    { printf 'text/html; charset=utf-8\x00'; head -c 60000 "$page"; } >"$seeds/fuzz_html_text/$name"
done

for page in tests/fixtures/directory-pages/*.html tests/fixtures/structured/*.html; do
    [[ -f $page ]] || continue
    head -c 200000 "$page" >"$seeds/fuzz_structured/$(basename "$page" .html)"
done
i=0
while IFS= read -r link; do
    i=$((i + 1))
    printf 'https://www.example.com/search/results?page=2&q=plumbers\n%s' "$link" >"$seeds/fuzz_next_link/link$i"
done <<'LINKS'
/search/results?page=3&amp;q=plumbers
?page=3
https://www.example.com/p/3
//other.example.net/next
  &#104;ttp://example.com/&#x3f;p=4  
javascript:void(0)
file:///etc/passwd
ftp://example.com/next
../up/page4.html
LINKS
for card in tests/fixtures/contacts/*.vcf; do
    [[ -f $card ]] && cp "$card" "$seeds/fuzz_vcard/"
done
for book in tests/fixtures/contacts/*.xlsx; do
    [[ -f $book && $(stat -c %s "$book") -le 262144 ]] && cp "$book" "$seeds/fuzz_xlsx/"
done
"$build/bin/quillon-grid" convert --to xlsx tests/fixtures/grab-expected/yellowpages-2.csv "$seeds/fuzz_xlsx/grabbed.xlsx" >/dev/null 2>&1 || true
"$build/bin/quillon-grid" convert --to vcard tests/fixtures/grab-expected/yellowpages-1.csv \
    "$seeds/fuzz_vcard/grabbed.vcf" >/dev/null 2>&1 || true

declare -A maxlen=([fuzz_delimited]=65536 [fuzz_native]=65536 [fuzz_listing]=262144 [fuzz_html_text]=65536
                   [fuzz_next_link]=4096 [fuzz_structured]=262144 [fuzz_vcard]=65536 [fuzz_xlsx]=262144)
declare -A dict=([fuzz_delimited]=delimited [fuzz_native]=native [fuzz_listing]=listing [fuzz_html_text]=html_text
                 [fuzz_next_link]=next_link [fuzz_structured]=structured [fuzz_vcard]=vcard [fuzz_xlsx]=xlsx)
status=0
for t in "${targets[@]}"; do
    corpus=$build/corpus/$t
    kept=tests/fixtures/fuzz/$t
    mkdir -p "$corpus" "$kept"
    echo "== $t: $seconds s"
    if ! "$build/bin/$t" "$corpus" "$kept" "$seeds/$t" \
        -max_total_time="$seconds" -max_len="${maxlen[$t]:-65536}" -timeout=10 \
        -rss_limit_mb=2048 -malloc_limit_mb=1024 -dict="fuzz/dict/${dict[$t]}.dict" \
        -artifact_prefix="$build/findings/$t-" -print_final_stats=1 2>"$build/$t.log"; then
        status=1
        echo "   finding: $(ls -t "$build/findings/$t-"* 2>/dev/null | head -1)"
    fi
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|#[0-9]+[[:space:]]+DONE" "$build/$t.log" \
        | sed 's/^/   /' || true
    tail -n 1 "$build/$t.log" | sed 's/^/   /'
done
exit $status
