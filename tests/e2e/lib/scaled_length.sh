# Sourced by the scripts that click or measure the skin (the run command, the
# DPI test). px LENGTH: a length of the skin at the screen's scale, $dpi dots
# per inch (96 when unset), rounded as the launcher rounds it: to the nearest
# pixel, halves up (the skin's lengths are never negative).
px() { echo $((($1 * ${dpi:-96} + 48) / 96)); }
