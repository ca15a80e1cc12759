# Sourced by the scripts: which cross build Wine can run on this machine. Some kernels run no
# 32-bit programs (ia32 emulation off), and 32-bit Wine cannot start there; the same program
# built for 64-bit Windows then stands in for the shipped 32-bit exe in every run and test.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE_BUILD=build/win
  WINE=wine
else
  WINE_BUILD=build/win64
  WINE=/usr/lib/wine/wine64
  export WINELOADER=$WINE WINEARCH=win64
fi
