#!/bin/sh
# One line per 2D kernel: median plain ns, median SIMD ns, their ratio, and "ok" when the
# SIMD form is at least 3 times as fast (else why it cannot be). CPU time, which a shared
# machine disturbs less than wall time.
# Usage: bench/kernel_ratios.sh [build dir] [extra benchmark options]
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
bin="$build/tidalhall-bench"
[ -x "$bin" ] || { echo "no $bin: build the tidalhall-bench target first"; exit 1; }

# Kernels whose order or kind keeps them from a 3x SIMD form: the reason shown instead.
reason() {
  case "$1" in
    fill_words) echo "store bandwidth: both forms only write the frame" ;;
    warp_three_centres*) echo "texel reads: one 16-bit index a pixel and no gather in SSE2; a frame reads ~1 MB of fields and texture" ;;
    rotozoom_draw) echo "texel reads one at a time (no gather in SSE2), the 256 KB texture is not in L1" ;;
    grid_warp_*) echo "8-pixel spans: each span's set-up and one texel read a pixel (no gather)" ;;
    blur_cross4) echo "in place each pixel needs its right neighbour's new value: the chain is resolved four pixels at a time, bound by SSE2 shifts and shuffles" ;;
    smear_scan) echo "serial: each pixel's accumulator needs the one before (no SIMD form)" ;;
    *) echo "below 3x" ;;
  esac
}

"$bin" --benchmark_filter='^Kernel/' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv "$@" 2>/dev/null |
  awk -F, '
    $1 ~ /_median"?$/ {
      name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
      n = split(name, part, "/"); kernel = part[2]; form = part[3]
      ns = $4; unit = $5
      if (unit == "us") ns *= 1000; else if (unit == "ms") ns *= 1000000; else if (unit == "s") ns *= 1e9
      if (!(kernel in seen)) { seen[kernel] = 1; order[++count] = kernel }
      t[kernel "/" form] = ns
    }
    END { for (i = 1; i <= count; ++i) print order[i], t[order[i] "/plain"] + 0, t[order[i] "/simd"] + 0 }' |
  while read -r kernel plain simd; do
    if [ "$simd" = 0 ]; then
      printf '%-26s %12.0f %12s %7s  %s\n' "$kernel" "$plain" "-" "-" "$(reason "$kernel")"
      continue
    fi
    ratio=$(awk -v p="$plain" -v s="$simd" 'BEGIN { printf "%.2f", p / s }')
    verdict=$(awk -v r="$ratio" 'BEGIN { print (r >= 3.0) ? "ok" : "no" }')
    [ "$verdict" = ok ] || verdict=$(reason "$kernel")
    printf '%-26s %12.0f %12.0f %7s  %s\n' "$kernel" "$plain" "$simd" "$ratio" "$verdict"
  done | {
  printf '%-26s %12s %12s %7s  %s\n' kernel "plain ns" "simd ns" ratio verdict
  cat
}
