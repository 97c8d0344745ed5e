#!/usr/bin/env bash
# Makes the README's pictures (docs/images/*.png) from the screenshots of the GUI tests, so that
# they show the windows as the current code draws them: builds the GUI tests, runs the four that
# picture the main window, the parameter window, the fuel calibration window and the virtual
# panel under Xvfb, and copies their pictures without time stamps (so an unchanged window gives
# an unchanged file); and the picture of the demo's fuel and OAT gauges that kavri-gauge --plot
# draws, turned into PNG by rsvg-convert. Run it after changing how one of these looks, and
# commit the result.
set -euo pipefail
cd "$(dirname "$0")/.."
pictures=(main_window parameter_window fuel_window virtual_panel)
tests='MainWindowGui.*:ParameterWindowGuiTest.*:CalibrationWindowsGuiTest.Fuel'
tests+=':VirtualPanelGuiTest.DrawsTheDemoBench'

./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target gui_tests kavri-gauge
for name in "${pictures[@]}"; do rm -f "build/screenshots/$name.png"; done
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" build/gui_tests --gtest_filter="$tests"
mkdir -p docs/images
for name in "${pictures[@]}"; do
  convert "build/screenshots/$name.png" -strip -define png:exclude-chunks=date,time \
    "docs/images/$name.png"
done
build/apps/kavri-gauge --config docs/demo/fuel-oat.jcf --calibration docs/demo/Calibrage.ini \
  --address 33 --plot build/fuel-oat.svg
rsvg-convert build/fuel-oat.svg | convert - -strip -define png:exclude-chunks=date,time \
  docs/images/fuel-oat.png
echo "pictures written: ${pictures[*]/%/.png} fuel-oat.png in docs/images/"
